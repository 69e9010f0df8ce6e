// Pseudo-terminal front end of the simulator. The only place in the
// simulator that uses the operating system directly.
#include "SimPty.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

void CSimPty::SharpenSleeps()
{
#ifdef Q_OS_LINUX
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
}

CSimPty::CSimPty(QObject *parent) : QObject(parent)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] {
        if (m_readNotifier)
            m_readNotifier->setEnabled(true);
    });
}

CSimPty::~CSimPty()
{
    Close();
}

#ifdef Q_OS_UNIX

QString CSimPty::Open(QString *error)
{
    if (IsOpen())
        return m_path;
    auto fail = [&](const char *what) {
        const QString message = QStringLiteral("Cannot create a pseudo-terminal (%1): %2")
                                    .arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
        Close();
        if (error)
            *error = message;
        return QString();
    };

    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        return fail("posix_openpt");
    if (grantpt(m_master) != 0)
        return fail("grantpt");
    if (unlockpt(m_master) != 0)
        return fail("unlockpt");
    char name[128];
    if (ptsname_r(m_master, name, sizeof name) != 0)
        return fail("ptsname");
    m_path = QString::fromLocal8Bit(name);
    const int flags = fcntl(m_master, F_GETFL);
    if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail("fcntl");

    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_slave < 0)
        return fail("open slave");
    // A serial line passes every byte as it is: no echo, no line editing,
    // no translation of carriage returns.
    termios tio{};
    if (tcgetattr(m_slave, &tio) != 0)
        return fail("tcgetattr");
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(m_slave, TCSANOW, &tio) != 0)
        return fail("tcsetattr");

    m_readNotifier = new QSocketNotifier(qintptr(m_master), QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &CSimPty::OnReadable);
    m_writeNotifier = new QSocketNotifier(qintptr(m_master), QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &CSimPty::OnWritable);
    if (error)
        error->clear();
    return m_path;
}

void CSimPty::Close()
{
    m_retry.stop();
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = -1;
    m_master = -1;
    m_path.clear();
    m_pending.clear();
}

void CSimPty::OnReadable()
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            emit Received(QByteArray(buffer, qsizetype(n)));
            if (m_master < 0)
                return; // a receiver closed the terminal
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // End of file or EIO: no slave is open at the moment. Look again
        // later instead of being woken for it over and over.
        if (m_readNotifier)
            m_readNotifier->setEnabled(false);
        m_retry.start(RetryMs);
        return;
    }
}

void CSimPty::Write(const QByteArray &bytes)
{
    if (m_master < 0)
        return;
    m_pending.append(bytes);
    if (m_pending.size() > MaxPendingOutput)
        m_pending.remove(0, m_pending.size() - MaxPendingOutput);
    Flush();
}

void CSimPty::OnWritable()
{
    Flush();
}

void CSimPty::Flush()
{
    while (m_master >= 0 && !m_pending.isEmpty()) {
        const ssize_t n = ::write(m_master, m_pending.constData(), size_t(m_pending.size()));
        if (n > 0) {
            m_pending.remove(0, qsizetype(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // full (or gone): wait until the terminal takes more
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_pending.isEmpty());
}

#else

QString CSimPty::Open(QString *error)
{
    if (error)
        *error = QStringLiteral("Pseudo-terminals are not available on this system.");
    return {};
}

void CSimPty::Close() {}
void CSimPty::OnReadable() {}
void CSimPty::Write(const QByteArray &) {}
void CSimPty::OnWritable() {}
void CSimPty::Flush() {}

#endif
