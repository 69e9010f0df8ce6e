// Parsing of history locations, and the one place that hides their passwords.
#include "history/HistoryLocation.h"

#include <QDir>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>
#if ALTAVO_HAVE_LIBPQ
#include <libpq-fe.h>
#endif

const QString CHistoryLocation::MaskText = QStringLiteral("*****");

namespace {
bool IsServerUrl(const QString &text)
{
    return text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
           || text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

// Every keyword the installed client library knows, as it lists them.
const QStringList &Keywords()
{
    static const QStringList keywords = [] {
        QStringList out;
#if ALTAVO_HAVE_LIBPQ
        char *error = nullptr;
        PQconninfoOption *options = PQconninfoParse("", &error);
        PQfreemem(error);
        for (PQconninfoOption *o = options; o && o->keyword; ++o)
            out.append(QString::fromLatin1(o->keyword));
        PQconninfoFree(options);
#endif
        return out;
    }();
    return keywords;
}

/*
 * Where passwords sit in a URL's text: after the first ':' of the user part
 * (up to the last '@' before the query), and as the value of any password=
 * query item. Found on the raw text, so that even a URL too broken to parse
 * is shown without its password.
 */
struct Span
{
    int from; // first character of the password
    int to;   // one past its last
    int cutFrom, cutTo; // what goes when the password is taken out
};

QList<Span> PasswordSpans(const QString &t)
{
    QList<Span> out;
    const int scheme = t.indexOf(QLatin1String("://"));
    if (scheme < 0)
        return out;
    const int authority = scheme + 3;
    int query = t.indexOf(QLatin1Char('?'), authority);
    if (query < 0)
        query = int(t.size());
    const int at = query > authority ? int(t.lastIndexOf(QLatin1Char('@'), query - 1)) : -1;
    if (at >= authority) {
        const int colon = int(t.indexOf(QLatin1Char(':'), authority));
        if (colon >= 0 && colon < at)
            out.append({colon + 1, at, colon, at});
    }
    for (int i = query + 1; i < t.size();) {
        int end = int(t.indexOf(QLatin1Char('&'), i));
        if (end < 0)
            end = int(t.size());
        const int hash = int(t.indexOf(QLatin1Char('#'), i));
        if (hash >= 0 && hash < end)
            end = hash;
        const int eq = int(t.indexOf(QLatin1Char('='), i));
        const QString key = QUrl::fromPercentEncoding(t.mid(i, (eq >= 0 && eq < end ? eq : end) - i).toUtf8()).trimmed();
        if (key.compare(QLatin1String("password"), Qt::CaseInsensitive) == 0) {
            // The item and one '&' beside it go when it is taken out.
            const bool last = end >= t.size() || t.at(end) != QLatin1Char('&');
            const int cutFrom = last ? i - 1 : i;
            const int cutTo = last ? end : end + 1;
            out.append({eq >= 0 && eq < end ? eq + 1 : end, end, cutFrom, cutTo});
        }
        if (end < t.size() && t.at(end) == QLatin1Char('#'))
            break;
        i = end + 1;
    }
    return out;
}
} // namespace

QString CHistoryLocation::Masked(const QString &text)
{
    QString t = text;
    const QList<Span> spans = PasswordSpans(t);
    for (auto it = spans.crbegin(); it != spans.crend(); ++it)
        t.replace(it->from, it->to - it->from, MaskText);
    return t;
}

QString CHistoryLocation::WithoutPassword(const QString &text, QString *password)
{
    QString t = text;
    const QList<Span> spans = PasswordSpans(t);
    if (password)
        password->clear();
    // The one the client library takes: a query item overrides the user part.
    if (password && !spans.isEmpty())
        *password = QUrl::fromPercentEncoding(t.mid(spans.last().from, spans.last().to - spans.last().from).toUtf8());
    for (auto it = spans.crbegin(); it != spans.crend(); ++it)
        t.remove(it->cutFrom, it->cutTo - it->cutFrom);
    if (!spans.isEmpty() && t.endsWith(QLatin1Char('?')))
        t.chop(1);
    return t;
}

QString CHistoryLocation::WithPassword(const QString &text, const QString &password)
{
    QString t = WithoutPassword(text.trimmed());
    if (password.isEmpty() || !IsServerUrl(t))
        return t;
    const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(password));
    const int authority = int(t.indexOf(QLatin1String("://"))) + 3;
    int query = int(t.indexOf(QLatin1Char('?'), authority));
    const int at = int(t.lastIndexOf(QLatin1Char('@'), (query < 0 ? int(t.size()) : query) - 1));
    if (at >= authority)
        return t.insert(at, QLatin1Char(':') + encoded);
    return t + (query < 0 ? QLatin1Char('?') : QLatin1Char('&')) + QStringLiteral("password=") + encoded;
}

bool CHistoryLocation::Parse(const QString &text, const QString &defaultFile, CHistoryLocation *location, QString *error)
{
    CHistoryLocation l;
    const QString t = text.trimmed();
    const auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("Bad history location \"%1\": %2").arg(Masked(t), why);
        return false;
    };
    if (IsServerUrl(t)) {
#if !ALTAVO_HAVE_LIBPQ
        return fail(QStringLiteral("this build keeps the history in an SQLite file only; a shared server needs the PostgreSQL client, "
                                   "which it was built without"));
#endif
        const QUrl url(t, QUrl::StrictMode);
        if (!url.isValid())
            return fail(Masked(url.errorString()));
        l.engine = PostgreSQL;
        l.user = url.userName(QUrl::FullyDecoded);
        l.password = url.password(QUrl::FullyDecoded);
        l.host = url.host(QUrl::FullyDecoded);
        l.port = url.port(0);
        l.database = url.path(QUrl::FullyDecoded).mid(1);
        bool hostGiven = !l.host.isEmpty();
        for (const auto &[keyText, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
            const QString key = keyText.trimmed();
            if (key == QLatin1String("host") || key == QLatin1String("hostaddr")) {
                if (key == QLatin1String("host"))
                    l.host = value;
                else
                    l.options.append({key, value});
                hostGiven = hostGiven || !value.isEmpty();
            } else if (key == QLatin1String("port")) {
                bool number = false;
                l.port = value.toInt(&number);
                if (!number)
                    l.port = -1;
            } else if (key == QLatin1String("dbname")) {
                l.database = value;
            } else if (key == QLatin1String("user")) {
                l.user = value;
            } else if (key == QLatin1String("password")) {
                l.password = value;
            } else if (key == QLatin1String("ssl")) {
                // The client library's own spelling for other programs' URLs.
                if (value != QLatin1String("true"))
                    return fail(QStringLiteral("ssl takes the value true only (or give sslmode)"));
                l.options.append({QStringLiteral("sslmode"), QStringLiteral("require")});
            } else if (!Keywords().contains(key)) {
                return fail(QStringLiteral("unknown connection setting \"%1\"").arg(key));
            } else {
                // The driver takes its settings as one text split at ';'.
                if (value.contains(QLatin1Char(';')))
                    return fail(QStringLiteral("the value of %1 cannot hold a ';'").arg(key));
                l.options.append({key, value});
            }
        }
        static const QStringList sslModes = {QStringLiteral("disable"), QStringLiteral("allow"),   QStringLiteral("prefer"),
                                             QStringLiteral("require"), QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
        if (!l.Option(QStringLiteral("sslmode")).isEmpty() && !sslModes.contains(l.Option(QStringLiteral("sslmode"))))
            return fail(QStringLiteral("sslmode is one of %1").arg(sslModes.join(QStringLiteral(", "))));
        const QString timeout = l.Option(QStringLiteral("connect_timeout"));
        bool number = true;
        if (!timeout.isEmpty() && (timeout.toInt(&number) < 0 || !number))
            return fail(QStringLiteral("connect_timeout is a number of seconds"));
        if (l.port < 0 || l.port > 65535)
            return fail(QStringLiteral("the port must be 1 to 65535"));
        const bool service = !l.Option(QStringLiteral("service")).isEmpty();
        if (l.database.contains(QLatin1Char('/')) || (l.database.isEmpty() && !service))
            return fail(QStringLiteral("the URL must name a database: postgresql://user@host[:port]/database"));
        if (!hostGiven && !service)
            return fail(QStringLiteral("the URL must name a host (or ?host=/socket/folder, or ?service=name)"));
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

QString CHistoryLocation::Option(const QString &keyword) const
{
    QString value;
    for (const auto &[key, v] : options) {
        if (key == keyword)
            value = v; // the last one counts, as with the client library
    }
    return value;
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
    if (!socket && port != 0 && port != 5432)
        s += QLatin1Char(':') + QString::number(port);
    s += QLatin1Char('/') + database;
    QStringList query;
    if (socket)
        query.append(QStringLiteral("host=") + host);
    const QString service = Option(QStringLiteral("service"));
    if (!service.isEmpty())
        query.append(QStringLiteral("service=") + service);
    if (!query.isEmpty())
        s += QLatin1Char('?') + query.join(QLatin1Char('&'));
    return s;
}
