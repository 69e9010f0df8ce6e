// The serial low-latency flag (Linux: TIOCGSERIAL/TIOCSSERIAL).
#include "SerialLowLatency.h"

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstring>
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

CSerialLowLatency::Outcome CSerialLowLatency::Enable(int descriptor)
{
    m_descriptor = -1;
    m_reason.clear();
    m_outcome = Outcome::NotAsked;
#ifdef Q_OS_LINUX
    if (descriptor < 0)
        return m_outcome;
    serial_struct info;
    std::memset(&info, 0, sizeof info);
    if (::ioctl(descriptor, TIOCGSERIAL, &info) != 0) {
        m_reason = QString::fromLocal8Bit(std::strerror(errno));
        return m_outcome = Outcome::Refused;
    }
    if (info.flags & ASYNC_LOW_LATENCY)
        return m_outcome = Outcome::AlreadySet;
    info.flags |= ASYNC_LOW_LATENCY;
    if (::ioctl(descriptor, TIOCSSERIAL, &info) != 0) {
        m_reason = QString::fromLocal8Bit(std::strerror(errno));
        return m_outcome = Outcome::Refused;
    }
    m_descriptor = descriptor;
    m_outcome = Outcome::Set;
#else
    Q_UNUSED(descriptor);
#endif
    return m_outcome;
}

void CSerialLowLatency::Restore()
{
#ifdef Q_OS_LINUX
    if (m_descriptor >= 0) {
        serial_struct info;
        std::memset(&info, 0, sizeof info);
        if (::ioctl(m_descriptor, TIOCGSERIAL, &info) == 0 && (info.flags & ASYNC_LOW_LATENCY)) {
            info.flags &= ~ASYNC_LOW_LATENCY;
            ::ioctl(m_descriptor, TIOCSSERIAL, &info);
        }
    }
#endif
    m_descriptor = -1;
}

bool CSerialLowLatency::IsSet(int descriptor)
{
#ifdef Q_OS_LINUX
    serial_struct info;
    std::memset(&info, 0, sizeof info);
    return descriptor >= 0 && ::ioctl(descriptor, TIOCGSERIAL, &info) == 0 && (info.flags & ASYNC_LOW_LATENCY);
#else
    Q_UNUSED(descriptor);
    return false;
#endif
}
