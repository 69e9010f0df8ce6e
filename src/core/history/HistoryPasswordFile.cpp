// Writing the PostgreSQL password file.
#include "history/HistoryPasswordFile.h"

#include "history/HistoryLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace {
QString Escape(QString field)
{
    field.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    field.replace(QLatin1Char(':'), QLatin1String("\\:"));
    return field;
}

// The fields of one line, unescaped.
QStringList Fields(const QString &line)
{
    QStringList out{QString()};
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == QLatin1Char('\\') && i + 1 < line.size())
            out.last() += line.at(++i);
        else if (c == QLatin1Char(':'))
            out.append(QString());
        else
            out.last() += c;
    }
    return out;
}

bool IsEntry(const QString &line)
{
    const QString t = line.trimmed();
    return !t.isEmpty() && !t.startsWith(QLatin1Char('#'));
}
} // namespace

QString CHistoryPasswordFile::Path(const CHistoryLocation &location)
{
    const QString given = location.Option(QStringLiteral("passfile"));
    if (!given.isEmpty())
        return given;
    const QString env = qEnvironmentVariable("PGPASSFILE");
    if (!env.isEmpty())
        return env;
#ifdef Q_OS_WIN
    return qEnvironmentVariable("APPDATA") + QStringLiteral("/postgresql/pgpass.conf");
#else
    return QDir::homePath() + QStringLiteral("/.pgpass");
#endif
}

QString CHistoryPasswordFile::Line(const Entry &e)
{
    const QStringList fields = {e.host, e.port, e.database, e.user, e.password};
    QStringList escaped;
    for (const QString &f : fields) {
        if (f.contains(QLatin1Char('\n')) || f.contains(QLatin1Char('\r')))
            return {};
        escaped.append(Escape(f));
    }
    return escaped.join(QLatin1Char(':'));
}

bool CHistoryPasswordFile::Store(const QString &path, const Entry &entry, QString *error)
{
    const QString shown = QDir::toNativeSeparators(path);
    const QString line = Line(entry);
    if (line.isEmpty()) {
        *error = QStringLiteral("A password with a line break cannot be kept in the password file %1.").arg(shown);
        return false;
    }
    QStringList lines;
    QFile in(path);
    if (in.exists()) {
        if (!in.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("The password file %1 cannot be read: %2").arg(shown, in.errorString());
            return false;
        }
        lines = QString::fromUtf8(in.readAll()).split(QLatin1Char('\n'));
        in.close();
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
    }
    const QStringList key = {entry.host, entry.port, entry.database, entry.user};
    for (int i = int(lines.size()) - 1; i >= 0; --i) {
        QString l = lines.at(i);
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
        if (IsEntry(l) && Fields(l).mid(0, 4) == key)
            lines.removeAt(i);
    }
    int at = 0;
    while (at < lines.size() && !IsEntry(lines.at(at)))
        ++at;
    lines.insert(at, line);

    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("The folder %1 for the password file cannot be made.").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || !out.setPermissions(ownerOnly)
        || out.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8()) < 0 || !out.commit()) {
        *error = QStringLiteral("The password file %1 cannot be written: %2").arg(shown, out.errorString());
        return false;
    }
    // An existing file keeps its permissions through the save; a password
    // file must not be readable by others.
    if (!QFile::setPermissions(path, ownerOnly)) {
        *error = QStringLiteral("The password file %1 cannot be made private to its owner.").arg(shown);
        return false;
    }
    return true;
}
