// Parsing of history locations.
#include "history/HistoryLocation.h"

#include <QDir>
#include <QUrl>
#include <QUrlQuery>

bool CHistoryLocation::Parse(const QString &text, const QString &defaultFile, CHistoryLocation *location, QString *error)
{
    CHistoryLocation l;
    const QString t = text.trimmed();
    const auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("Bad history location \"%1\": %2").arg(t, why);
        return false;
    };
    if (t.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
        || t.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive)) {
        const QUrl url(t, QUrl::StrictMode);
        if (!url.isValid())
            return fail(url.errorString());
        l.engine = PostgreSQL;
        l.user = url.userName(QUrl::FullyDecoded);
        l.password = url.password(QUrl::FullyDecoded);
        l.host = url.host(QUrl::FullyDecoded);
        l.port = url.port(5432);
        l.database = url.path(QUrl::FullyDecoded).mid(1);
        const QUrlQuery query(url);
        if (query.hasQueryItem(QStringLiteral("host")))
            l.host = query.queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded);
        if (l.port <= 0 || l.port > 65535)
            return fail(QStringLiteral("the port must be 1 to 65535"));
        if (l.database.isEmpty() || l.database.contains(QLatin1Char('/')))
            return fail(QStringLiteral("the URL must name a database: postgresql://user@host[:port]/database"));
        if (l.host.isEmpty())
            return fail(QStringLiteral("the URL must name a host (or ?host=/socket/folder)"));
    } else {
        QString file = t;
        if (file.startsWith(QLatin1String("sqlite:"), Qt::CaseInsensitive))
            file = file.mid(7);
        if (file.startsWith(QLatin1String("//")))
            file = file.mid(2);
        if (file.contains(QLatin1String("://")))
            return fail(QStringLiteral("give a file, or a postgresql:// URL"));
        if (file.isEmpty())
            file = defaultFile;
        l.engine = SQLite;
        l.file = QDir::cleanPath(QDir::current().absoluteFilePath(file));
    }
    *location = l;
    return true;
}

QString CHistoryLocation::Shown() const
{
    if (engine == SQLite)
        return QDir::toNativeSeparators(file);
    const bool socket = host.startsWith(QLatin1Char('/'));
    QString s = QStringLiteral("postgresql://");
    if (!user.isEmpty())
        s += user + QLatin1Char('@');
    s += socket ? QString() : host;
    if (!socket && port != 5432)
        s += QLatin1Char(':') + QString::number(port);
    s += QLatin1Char('/') + database;
    if (socket)
        s += QStringLiteral("?host=") + host;
    return s;
}
