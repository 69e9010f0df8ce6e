// An in-memory full-duplex byte line: two connected QIODevice ends, used to
// join the program to an in-process simulated instrument. Writes on one end
// become readable on the other on the next event-loop turn, as on a real line.
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QPointer>

class CPipeEnd final : public QIODevice
{
    Q_OBJECT
public:
    // Creates two open, connected ends owned by parent.
    static void CreatePair(QObject *parent, CPipeEnd *&a, CPipeEnd *&b);

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_buffer.size() + QIODevice::bytesAvailable(); }
    void close() override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    explicit CPipeEnd(QObject *parent) : QIODevice(parent) {}
    void Receive(const char *data, qint64 size);

    QPointer<CPipeEnd> m_peer;
    QByteArray m_buffer;
    bool m_notifyQueued = false;
};
