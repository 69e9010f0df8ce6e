// The fixed panes of the main window's status bar: version, programming
// date, serial number, configuration text, window mode, port and link state.
#pragma once

#include <QMap>
#include <QObject>
#include <QString>

class CInstrumentDoc;
class QLabel;
class QStatusBar;

class CStatusPanes : public QObject
{
    Q_OBJECT
public:
    // Adds the panes to bar, left to right, each as wide as its template.
    explicit CStatusPanes(QStatusBar *bar);

    struct Texts
    {
        QString version, date, serial, configuration, windowMode, port, link;
    };
    // What the panes show for the document, the stored preferences and
    // whether a simulated instrument is connected.
    static Texts Compute(CInstrumentDoc &doc, bool simulated);
    void Refresh(CInstrumentDoc &doc, bool simulated);

    // The pane with the given id (PaneId), for its text.
    QLabel *Pane(int id) const { return m_panes.value(id); }
    QString Text(int id) const;

private:
    void Set(int id, const QString &text);

    QMap<int, QLabel *> m_panes;
};
