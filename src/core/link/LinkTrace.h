// The protocol trace for support: one line per request and per reply with a
// timestamp in microseconds, the direction, the characters and what they
// mean, plus timeouts, resends, bank selections and recovery starts.
#pragma once

#include "LinkEvent.h"

#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class CInstrumentLink;

class CLinkTrace : public QObject
{
    Q_OBJECT
public:
    // Lines are written in batches this often, away from the conversation.
    static constexpr int DrainDelayMs = 50;

    explicit CLinkTrace(CInstrumentLink &link, QObject *parent = nullptr);
    ~CLinkTrace() override;

    // Starts writing to a file (replacing it). False, with the reason, when it
    // cannot be opened; the link works on either way.
    bool Open(const QString &path, QString *error = nullptr);
    QString Path() const { return m_file.fileName(); }
    bool IsWriting() const { return m_file.isOpen(); }
    // Lines also go to a callback (altavo-cli -v on stderr).
    void SetEcho(std::function<void(const QString &)> echo) { m_echo = std::move(echo); }

    // One event as its trace line without the timestamp: direction mark,
    // characters, meaning. Pure, so it is tested on its own.
    static QString Describe(const LinkEvent &event);
    // What a request or reply text means: "ReadWords word 0x04003 (bank 0
    // offset 0x8006) 16 bytes", "\"#\" done", "ReadTimeKeeper 0x0000 7 bytes".
    static QString Meaning(const QByteArray &text, bool reply);

    // Writes what is waiting now (also done on its own once the event loop
    // is free, and when the trace closes).
    void Drain();

signals:
    // The trace file could not be written; said once, the work goes on.
    void Warning(const QString &message);

private:
    void OnEvent(const LinkEvent &event);
    void Write(const QByteArray &bytes);

    // Events are only noted while the link works and written once the event
    // loop is free, so a line's formatting and its write never sit between
    // a reply and the next request.
    struct Noted
    {
        qint64 us;
        LinkEvent event;
    };
    QList<Noted> m_noted;
    bool m_drainScheduled = false;
    QFile m_file;
    QElapsedTimer m_elapsed;
    std::function<void(const QString &)> m_echo;
    bool m_failed = false;
};
