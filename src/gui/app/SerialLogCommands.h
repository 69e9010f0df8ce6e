// The protocol trace of the windowed program: the "Serial Log File"
// preference, its dialog, and the trace that follows it.
#pragma once

#include <QObject>
#include <QString>

class CInstrumentLink;
class CLinkTrace;
class QWidget;

class CSerialLogCommands : public QObject
{
    Q_OBJECT
public:
    CSerialLogCommands(CInstrumentLink &link, QWidget *window);
    ~CSerialLogCommands() override;

    // Opens the dialog; OK stores the file (empty: no trace) and applies it.
    void Choose();
    // Starts or stops the trace for a file name; empty stops it. Failure to
    // open the file is said once; the program works on without a trace.
    void Apply(const QString &path);
    QString Path() const;
    bool IsTracing() const;

signals:
    void Changed(bool tracing);

private:
    void Warn(const QString &message);

    CInstrumentLink &m_link;
    QWidget *m_window;
    CLinkTrace *m_trace = nullptr;
};
