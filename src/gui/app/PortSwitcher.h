// Switching the instrument link to another port, and the port dialog offered
// while a COM port cannot be opened.
#pragma once

class CInstrumentDoc;
class QWidget;

class CPortSwitcher
{
public:
    CPortSwitcher(CInstrumentDoc &doc, QWidget *dialogParent) : m_doc(doc), m_dialogParent(dialogParent) {}

    // 1..4 for COMn, -1 for the network gateway. The choice is stored even
    // when the port cannot be opened.
    void Switch(int port);
    // The stored choice; 0 when none was ever made.
    static int StoredPort();

private:
    CInstrumentDoc &m_doc;
    QWidget *m_dialogParent;
};
