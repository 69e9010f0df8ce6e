// In-memory line between the program and an in-process instrument.
#include "PipeChannel.h"

#include <QTimer>
#include <cstring>

void CPipeEnd::CreatePair(QObject *parent, CPipeEnd *&a, CPipeEnd *&b)
{
    a = new CPipeEnd(parent);
    b = new CPipeEnd(parent);
    a->m_peer = b;
    b->m_peer = a;
    a->open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    b->open(QIODevice::ReadWrite | QIODevice::Unbuffered);
}

void CPipeEnd::close()
{
    m_buffer.clear();
    if (m_peer && m_peer->isOpen())
        QTimer::singleShot(0, m_peer.data(), [p = m_peer] { if (p) emit p->readChannelFinished(); });
    QIODevice::close();
}

qint64 CPipeEnd::readData(char *data, qint64 maxSize)
{
    const qint64 n = qMin<qint64>(maxSize, m_buffer.size());
    if (n > 0) {
        std::memcpy(data, m_buffer.constData(), size_t(n));
        m_buffer.remove(0, n);
    }
    return n;
}

qint64 CPipeEnd::writeData(const char *data, qint64 size)
{
    if (!m_peer || !m_peer->isOpen())
        return -1;
    m_peer->Receive(data, size);
    emit bytesWritten(size);
    return size;
}

void CPipeEnd::Receive(const char *data, qint64 size)
{
    m_buffer.append(data, size);
    if (m_notifyQueued)
        return;
    m_notifyQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_notifyQueued = false;
        if (isOpen() && !m_buffer.isEmpty())
            emit readyRead();
    });
}
