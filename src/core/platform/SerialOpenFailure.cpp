// Explaining a serial device that would not open.
#include "SerialOpenFailure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstring>

#ifndef Q_OS_WIN
namespace {
// Where serial programs (this one's serial library among them) put their
// "LCK..name" files.
const char *const LockFolders[] = {"/var/lock", "/run/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", "/tmp"};

QString ProcessName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

QString Described(qint64 pid)
{
    const QString name = ProcessName(pid);
    return name.isEmpty() ? QStringLiteral("process %1").arg(pid) : QStringLiteral("%1 (process %2)").arg(name).arg(pid);
}

QString FromLockFile(const QString &device)
{
    QString base = device;
    if (base.startsWith(QLatin1String("/dev/")))
        base = base.mid(5);
    QStringList names = {base, QString(base).replace(QLatin1Char('/'), QLatin1Char('_')), QFileInfo(device).fileName()};
    names.removeDuplicates();
    for (const char *folder : LockFolders) {
        for (const QString &name : names) {
            QFile lock(QDir(QString::fromLatin1(folder)).filePath(QStringLiteral("LCK..") + name));
            if (!lock.open(QIODevice::ReadOnly))
                continue;
            // Binary (old uucp) locks hold the pid as an int, text ones as
            // digits, padded and followed by the program's name in some.
            const QByteArray bytes = lock.read(64);
            const QByteArray first = bytes.split('\n').value(0).trimmed();
            qsizetype digits = 0;
            while (digits < first.size() && first[digits] >= '0' && first[digits] <= '9')
                ++digits;
            bool ok = false;
            qint64 pid = first.left(digits).toLongLong(&ok);
            if (!ok && bytes.size() == 4) {
                qint32 binary = 0;
                std::memcpy(&binary, bytes.constData(), sizeof binary);
                pid = binary;
                ok = true;
            }
            if (ok && pid > 0 && pid != QCoreApplication::applicationPid() && QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)))
                return Described(pid);
        }
    }
    return {};
}

QString FromOpenFiles(const QString &device)
{
    const QString target = QFileInfo(device).canonicalFilePath();
    if (target.isEmpty())
        return {};
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : pids) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number || pid == QCoreApplication::applicationPid())
            continue;
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        for (const QFileInfo &fd : fds.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
            if (fd.symLinkTarget() == target)
                return Described(pid);
        }
    }
    return {};
}
} // namespace
#endif

QString CSerialOpenFailure::Holder(const QString &device)
{
#ifdef Q_OS_WIN
    // Windows names no holder of a port; the text says another program has it.
    Q_UNUSED(device);
    return {};
#else
    const QString fromLock = FromLockFile(device);
    return fromLock.isEmpty() ? FromOpenFiles(device) : fromLock;
#endif
}

CSerialOpenFailure::CSerialOpenFailure(const QString &device, CSerialDevice::OpenError error, const QString &message,
                                       const QList<SerialPortEntry> &ports)
{
    using OpenError = CSerialDevice::OpenError;
    QString text = QStringLiteral("%1: %2").arg(device, message);
    if (!text.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.');
#ifdef Q_OS_WIN
    // COMn is no file to look at: the system's answer is all there is.
    const bool missing = error == OpenError::NotFound;
    const bool unreadable = false;
#else
    const QFileInfo file(device);
    const bool missing = !file.exists() || error == OpenError::NotFound;
    const bool unreadable = !missing && (!file.isReadable() || !file.isWritable());
#endif
    if (missing) {
        m_cause = Cause::Missing;
        text += ports.isEmpty() ? QStringLiteral(" There is no such device, and this computer has no serial ports; is the adapter plugged in?")
                                : QStringLiteral(" There is no such device. Serial ports on this computer: %1.").arg(CSerialPortList::Summary(ports));
    } else if (unreadable) {
#ifndef Q_OS_WIN
        m_cause = Cause::Permission;
        const QString group = file.group();
        const QFile::Permissions groupRw = QFile::ReadGroup | QFile::WriteGroup;
        if (!group.isEmpty() && group != QLatin1String("root") && (file.permissions() & groupRw) == groupRw) {
            text += QStringLiteral(" The device belongs to the group \"%1\", and you may open it once you are in that group: "
                                   "run \"sudo usermod -aG %1 $USER\", then log out and in again.")
                        .arg(group);
        } else {
            text += QStringLiteral(" Only %1 may open the device; ask the administrator to give you access to it "
                                   "(for example a udev rule that puts it in the \"dialout\" group).")
                        .arg(file.owner().isEmpty() ? QStringLiteral("its owner") : file.owner());
        }
#endif
    } else if (error == OpenError::Permission || error == OpenError::Busy
               || message.contains(QLatin1String("busy"), Qt::CaseInsensitive)) {
        // Readable and writable, yet refused: a lock file or an exclusive
        // open by someone else.
        m_cause = Cause::Busy;
        const QString holder = Holder(device);
        text += holder.isEmpty() ? QStringLiteral(" Another program holds the port; close it and try again.")
                                 : QStringLiteral(" Another program holds the port: %1; close it and try again.").arg(holder);
    }
    m_text = text;
}
