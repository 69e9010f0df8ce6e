// The Load Options and Save Options commands: the file dialogs, the folder
// they remember, and the messages that report the outcome.
#pragma once

#include <QString>

class CInstrumentDoc;
class QMainWindow;

class COptionsFileCommands
{
public:
    // Dialogs open over window; the outcome shows on its status bar.
    COptionsFileCommands(CInstrumentDoc &doc, QMainWindow *window) : m_doc(doc), m_window(window) {}

    void ChooseLoad();
    void ChooseSave();
    bool Load(const QString &path);
    bool Save(const QString &path);

private:
    CInstrumentDoc &m_doc;
    QMainWindow *m_window;
};
