// The simulator's pseudo-terminal: the program opens the slave device as if
// it were a serial port, the simulator reads and writes the master.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;

class CSimPty : public QObject
{
    Q_OBJECT
public:
    // Lets this thread's short sleeps end at their time rather than up to
    // 50 us late (the Linux timer slack), for pacing characters precisely.
    static void SharpenSleeps();

    // Output that no program reads piles up in the terminal; past this much
    // the oldest is dropped rather than memory grown.
    static constexpr qsizetype MaxPendingOutput = 4096;
    static constexpr int RetryMs = 100;

    explicit CSimPty(QObject *parent = nullptr);
    ~CSimPty() override;

    // Creates the terminal pair and returns the slave's path, or an empty
    // string with *error set.
    QString Open(QString *error);
    // Closes both sides: to the program the device has vanished.
    void Close();
    bool IsOpen() const { return m_master >= 0; }
    QString Path() const { return m_path; }

    void Write(const QByteArray &bytes);

signals:
    void Received(const QByteArray &bytes);

private:
    void OnReadable();
    void OnWritable();
    void Flush();

    int m_master = -1;
    // Held open so that the master never reads end-of-file or EIO while no
    // program has the device open.
    int m_slave = -1;
    QString m_path;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QTimer m_retry;
    QByteArray m_pending;
};
