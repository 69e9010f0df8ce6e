// Packing history records for the spool.
#include "history/HistorySpoolCodec.h"

#include "history/HistoryFields.h"
#include "history/HistoryLogCodec.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cstring>
#include <limits>

namespace {
using Json = QJsonObject;

QString Time(const QDateTime &t)
{
    return t.isValid() ? QString::number(t.toMSecsSinceEpoch()) : QString();
}

QDateTime Time(const Json &o, const char *key)
{
    const QString s = o.value(QLatin1String(key)).toString();
    return s.isEmpty() ? QDateTime() : QDateTime::fromMSecsSinceEpoch(s.toLongLong(), Qt::UTC);
}

QString Str(const Json &o, const char *key)
{
    return o.value(QLatin1String(key)).toString();
}

CHistorySpool::Record Make(const char *kind, Json o, const QByteArray &data = {})
{
    o.insert(QStringLiteral("kind"), QLatin1String(kind));
    return {QJsonDocument(o).toJson(QJsonDocument::Compact), data};
}

bool Parse(const CHistorySpool::Record &r, const char *kind, Json *o)
{
    QJsonParseError e;
    const QJsonDocument d = QJsonDocument::fromJson(r.meta, &e);
    if (e.error != QJsonParseError::NoError || !d.isObject())
        return false;
    *o = d.object();
    return o->value(QStringLiteral("kind")).toString() == QLatin1String(kind);
}

// The fields every operation record (snapshot, log, firmware run, board test)
// carries, added to the record's own ones.
template <typename R>
Json WithOperation(const R &r, Json o)
{
    o.insert(QStringLiteral("opKey"), r.opKey);
    o.insert(QStringLiteral("serial"), r.serial);
    o.insert(QStringLiteral("time"), Time(r.time));
    o.insert(QStringLiteral("computer"), r.computer);
    o.insert(QStringLiteral("user"), r.user);
    return o;
}

template <typename R>
void ReadOperation(const Json &o, R *r)
{
    r->opKey = Str(o, "opKey");
    r->serial = Str(o, "serial");
    r->time = Time(o, "time");
    r->computer = Str(o, "computer");
    r->user = Str(o, "user");
}
} // namespace

QString CHistorySpoolCodec::Kind(const CHistorySpool::Record &record)
{
    const QJsonDocument d = QJsonDocument::fromJson(record.meta);
    return d.isObject() ? d.object().value(QStringLiteral("kind")).toString() : QString();
}

CHistorySpool::Record CHistorySpoolCodec::Pack(const HistoryInstrument &i)
{
    return Make("instrument", Json{{QStringLiteral("serial"), i.serial}, {QStringLiteral("version"), i.version},
                                   {QStringLiteral("configuration"), i.configuration}, {QStringLiteral("instrumentId"), i.instrumentId},
                                   {QStringLiteral("firstSeen"), Time(i.firstSeen)}, {QStringLiteral("lastSeen"), Time(i.lastSeen)}});
}

bool CHistorySpoolCodec::Unpack(const CHistorySpool::Record &r, HistoryInstrument *i)
{
    Json o;
    if (!Parse(r, "instrument", &o))
        return false;
    i->serial = Str(o, "serial");
    i->version = Str(o, "version");
    i->configuration = Str(o, "configuration");
    i->instrumentId = Str(o, "instrumentId");
    i->firstSeen = Time(o, "firstSeen");
    i->lastSeen = Time(o, "lastSeen");
    return !i->serial.isEmpty();
}

CHistorySpool::Record CHistorySpoolCodec::Pack(const HistorySnapshot &s)
{
    return Make("snapshot", WithOperation(s, Json{{QStringLiteral("snapshotKind"), int(s.kind)},
                                                  {QStringLiteral("optionsText"), s.optionsText},
                                                  {QStringLiteral("verified"), s.verified},
                                                  {QStringLiteral("differences"), CHistoryFields::DifferencesText(s.differences)}}));
}

bool CHistorySpoolCodec::Unpack(const CHistorySpool::Record &r, HistorySnapshot *s)
{
    Json o;
    if (!Parse(r, "snapshot", &o))
        return false;
    ReadOperation(o, s);
    s->kind = HistorySnapshot::Kind(o.value(QStringLiteral("snapshotKind")).toInt());
    s->optionsText = Str(o, "optionsText");
    s->verified = o.value(QStringLiteral("verified")).toBool();
    s->differences = CHistoryFields::Differences(Str(o, "differences"));
    return !s->opKey.isEmpty() && !s->serial.isEmpty() && s->time.isValid();
}

CHistorySpool::Record CHistorySpoolCodec::Pack(const HistoryLogRetrieval &r, const QList<LogRecord> &entries)
{
    QByteArray data;
    for (const LogRecord &e : entries) {
        const QByteArray bytes = CHistoryLogCodec::Encode(e);
        const qint64 t = e.time.isValid() ? e.time.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
        const quint32 n = quint32(bytes.size());
        data.append(reinterpret_cast<const char *>(&t), sizeof t);
        data.append(reinterpret_cast<const char *>(&n), sizeof n);
        data += bytes;
    }
    return Make("log",
                WithOperation(r, Json{{QStringLiteral("source"), int(r.source)}, {QStringLiteral("fileName"), r.fileName},
                                      {QStringLiteral("sensors"), CHistoryFields::SensorsText(r.sensors)}}),
                data);
}

bool CHistorySpoolCodec::Unpack(const CHistorySpool::Record &rec, HistoryLogRetrieval *r, QList<LogRecord> *entries)
{
    Json o;
    if (!Parse(rec, "log", &o))
        return false;
    ReadOperation(o, r);
    r->source = HistoryLogRetrieval::Source(o.value(QStringLiteral("source")).toInt());
    r->fileName = Str(o, "fileName");
    r->sensors = CHistoryFields::Sensors(Str(o, "sensors"));
    entries->clear();
    const char *p = rec.data.constData();
    const char *end = p + rec.data.size();
    while (p < end) {
        qint64 t = 0;
        quint32 n = 0;
        if (end - p < qsizetype(sizeof t + sizeof n))
            return false;
        std::memcpy(&t, p, sizeof t);
        std::memcpy(&n, p + sizeof t, sizeof n);
        p += sizeof t + sizeof n;
        if (quint64(end - p) < n)
            return false;
        LogRecord e;
        if (!CHistoryLogCodec::Decode(QByteArray(p, n), &e))
            return false;
        p += n;
        if (t != std::numeric_limits<qint64>::min())
            e.time = QDateTime::fromMSecsSinceEpoch(t, Qt::UTC);
        entries->append(e);
    }
    return !r->opKey.isEmpty() && !r->serial.isEmpty() && r->time.isValid();
}

CHistorySpool::Record CHistorySpoolCodec::Pack(const HistoryFirmwareRun &r)
{
    return Make("firmware", WithOperation(r, Json{{QStringLiteral("fileName"), r.fileName}, {QStringLiteral("sha256"), r.sha256},
                                                  {QStringLiteral("passed"), r.passed}, {QStringLiteral("result"), r.result}}));
}

bool CHistorySpoolCodec::Unpack(const CHistorySpool::Record &rec, HistoryFirmwareRun *r)
{
    Json o;
    if (!Parse(rec, "firmware", &o))
        return false;
    ReadOperation(o, r);
    r->fileName = Str(o, "fileName");
    r->sha256 = Str(o, "sha256");
    r->passed = o.value(QStringLiteral("passed")).toBool();
    r->result = Str(o, "result");
    return !r->opKey.isEmpty() && r->time.isValid();
}

CHistorySpool::Record CHistorySpoolCodec::Pack(const HistoryBoardTest &r)
{
    return Make("boardtest", WithOperation(r, Json{{QStringLiteral("group"), r.group}, {QStringLiteral("passed"), r.passed},
                                                   {QStringLiteral("detail"), r.detail}}));
}

bool CHistorySpoolCodec::Unpack(const CHistorySpool::Record &rec, HistoryBoardTest *r)
{
    Json o;
    if (!Parse(rec, "boardtest", &o))
        return false;
    ReadOperation(o, r);
    r->group = Str(o, "group");
    r->passed = o.value(QStringLiteral("passed")).toBool();
    r->detail = Str(o, "detail");
    return !r->opKey.isEmpty() && r->time.isValid();
}
