// Serial device over the Windows communications calls.
#include "WinSerialDevice.h"

#include <QMetaObject>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {
QString SystemText(DWORD code)
{
    wchar_t *buffer = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    QString text = n && buffer ? QString::fromWCharArray(buffer, int(n)).trimmed() : QStringLiteral("System error %1").arg(code);
    if (buffer)
        LocalFree(buffer);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

HANDLE H(void *h)
{
    return static_cast<HANDLE>(h);
}
} // namespace

CSerialDevice *CSerialDevice::Create(QObject *parent)
{
    return new CWinSerialDevice(parent);
}

CWinSerialDevice::CWinSerialDevice(QObject *parent) : CSerialDevice(parent) {}

CWinSerialDevice::~CWinSerialDevice()
{
    Close();
}

QString CWinSerialDevice::SystemPath(const QString &device)
{
    if (device.startsWith(QLatin1String("\\\\.\\")) || !device.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        return device;
    return QStringLiteral("\\\\.\\") + device;
}

bool CWinSerialDevice::Open(const QString &device)
{
    Close();
    const QString path = SystemPath(device);
    HANDLE h = CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        OpenError error = OpenError::Other;
        switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_NAME:
            error = OpenError::NotFound;
            break;
        // A serial port opens for one program at a time; Windows answers a
        // second open with "access denied".
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            error = OpenError::Busy;
            break;
        default:
            break;
        }
        SetOpenError(error, SystemText(code));
        return false;
    }
    // A read returns at once with what has arrived, perhaps nothing; the
    // reader then waits a millisecond. Reads that wait for the first
    // character (MAXDWORD, MAXDWORD, n) never completed under Wine on a
    // port mapped to a pseudo-terminal.
    COMMTIMEOUTS timeouts = {};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutConstant = 2000;
    SetupComm(h, 16384, 16384);
    if (!SetCommTimeouts(h, &timeouts)) {
        const DWORD code = GetLastError();
        CloseHandle(h);
        SetOpenError(OpenError::Other, SystemText(code));
        return false;
    }
    PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
    m_handle = h;
    m_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_received.clear();
        m_failure.clear();
    }
    m_notified = false;
    SetOpenError(OpenError::None, {});
    m_reader = std::thread([this] { ReadLoop(); });
    return true;
}

void CWinSerialDevice::ReadLoop()
{
    OVERLAPPED ov = {};
    ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    char buffer[4096];
    for (;;) {
        ResetEvent(ov.hEvent);
        DWORD got = 0;
        bool ok = ReadFile(H(m_handle), buffer, sizeof buffer, &got, &ov);
        if (!ok && GetLastError() == ERROR_IO_PENDING) {
            HANDLE waits[2] = {ov.hEvent, H(m_stopEvent)};
            const DWORD which = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
            if (which != WAIT_OBJECT_0) {
                CancelIo(H(m_handle));
                GetOverlappedResult(H(m_handle), &ov, &got, TRUE);
                break;
            }
            ok = GetOverlappedResult(H(m_handle), &ov, &got, FALSE);
        }
        if (!ok) {
            const DWORD code = GetLastError();
            if (code == ERROR_OPERATION_ABORTED && WaitForSingleObject(H(m_stopEvent), 0) == WAIT_OBJECT_0)
                break;
            {
                std::lock_guard<std::mutex> guard(m_lock);
                m_failure = SystemText(code);
            }
            QMetaObject::invokeMethod(this, [this] {
                QString message;
                {
                    std::lock_guard<std::mutex> guard(m_lock);
                    message = m_failure;
                }
                if (IsOpen())
                    emit Failed(message);
            }, Qt::QueuedConnection);
            break;
        }
        if (got == 0) {
            if (WaitForSingleObject(H(m_stopEvent), 1) == WAIT_OBJECT_0)
                break;
            continue;
        }
        if (WaitForSingleObject(H(m_stopEvent), 0) == WAIT_OBJECT_0)
            break;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_received.append(buffer, int(got));
        }
        // One notice at a time: the receiver takes everything there is.
        if (!m_notified.exchange(true))
            QMetaObject::invokeMethod(this, [this] {
                m_notified = false;
                emit ReadyRead();
            }, Qt::QueuedConnection);
    }
    CloseHandle(ov.hEvent);
}

void CWinSerialDevice::Close()
{
    if (!m_handle)
        return;
    SetEvent(H(m_stopEvent));
    if (m_reader.joinable())
        m_reader.join();
    CloseHandle(H(m_handle));
    CloseHandle(H(m_stopEvent));
    m_handle = nullptr;
    m_stopEvent = nullptr;
    std::lock_guard<std::mutex> guard(m_lock);
    m_received.clear();
}

bool CWinSerialDevice::IsOpen() const
{
    return m_handle != nullptr;
}

bool CWinSerialDevice::Refused(const char *what)
{
    SetErrorString(QStringLiteral("%1: %2").arg(QLatin1String(what), SystemText(GetLastError())));
    return false;
}

bool CWinSerialDevice::Configure(int baud, Parity parity, int dataBits, int stopBits)
{
    if (!m_handle)
        return true;
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(H(m_handle), &dcb))
        return Refused("GetCommState");
    dcb.BaudRate = DWORD(baud);
    dcb.fBinary = TRUE;
    dcb.fParity = parity != Parity::None;
    dcb.Parity = parity == Parity::None ? NOPARITY : parity == Parity::Even ? EVENPARITY : ODDPARITY;
    dcb.ByteSize = BYTE(dataBits);
    dcb.StopBits = stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fErrorChar = FALSE;
    if (!SetCommState(H(m_handle), &dcb))
        return Refused("SetCommState");
    return true;
}

bool CWinSerialDevice::SetFlow(Flow flow)
{
    if (!m_handle)
        return true;
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(H(m_handle), &dcb))
        return Refused("GetCommState");
    dcb.fOutxCtsFlow = flow == Flow::Hardware;
    dcb.fRtsControl = flow == Flow::Hardware ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fOutX = dcb.fInX = flow == Flow::Software;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    if (!SetCommState(H(m_handle), &dcb))
        return Refused("SetCommState");
    return true;
}

bool CWinSerialDevice::SetDtr(bool on)
{
    return !m_handle || EscapeCommFunction(H(m_handle), on ? SETDTR : CLRDTR) || Refused("EscapeCommFunction");
}

bool CWinSerialDevice::SetRts(bool on)
{
    return !m_handle || EscapeCommFunction(H(m_handle), on ? SETRTS : CLRRTS) || Refused("EscapeCommFunction");
}

qint64 CWinSerialDevice::Write(const QByteArray &data)
{
    if (!m_handle) {
        SetErrorString(QStringLiteral("The port is not open"));
        return -1;
    }
    OVERLAPPED ov = {};
    ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD written = 0;
    bool ok = WriteFile(H(m_handle), data.constData(), DWORD(data.size()), &written, &ov);
    if (!ok && GetLastError() == ERROR_IO_PENDING)
        ok = GetOverlappedResult(H(m_handle), &ov, &written, TRUE);
    const DWORD code = ok ? 0 : GetLastError();
    CloseHandle(ov.hEvent);
    if (!ok) {
        SetErrorString(SystemText(code));
        return -1;
    }
    return qint64(written);
}

QByteArray CWinSerialDevice::ReadAll()
{
    std::lock_guard<std::mutex> guard(m_lock);
    QByteArray out;
    out.swap(m_received);
    return out;
}
