// Composite fields of the history's rows.
#include "history/HistoryFields.h"

#include "document/OptionsFile.h"
#include "platform/ProfileFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

QVariant CHistoryFields::Ms(const QDateTime &time)
{
    return time.isValid() ? QVariant(time.toMSecsSinceEpoch()) : QVariant(QMetaType::fromType<qint64>());
}

QDateTime CHistoryFields::FromMs(const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return {};
    return QDateTime::fromMSecsSinceEpoch(value.toLongLong(), Qt::UTC);
}

QString CHistoryFields::DifferencesText(const QList<HistoryDifference> &differences)
{
    if (differences.isEmpty())
        return {};
    QJsonArray array;
    for (const HistoryDifference &d : differences)
        array.append(QJsonObject{{QStringLiteral("key"), d.key}, {QStringLiteral("sent"), d.sent}, {QStringLiteral("readBack"), d.readBack}});
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

QList<HistoryDifference> CHistoryFields::Differences(const QString &text)
{
    QList<HistoryDifference> out;
    const QJsonArray array = QJsonDocument::fromJson(text.toUtf8()).array();
    for (const QJsonValue &v : array) {
        const QJsonObject o = v.toObject();
        out.append({o.value(QStringLiteral("key")).toString(), o.value(QStringLiteral("sent")).toString(),
                    o.value(QStringLiteral("readBack")).toString()});
    }
    return out;
}

QString CHistoryFields::SensorsText(const LogSensors &s)
{
    QJsonObject o{{QStringLiteral("name1"), s.ToxicName(1)},  {QStringLiteral("fraction1"), s.Fraction(1)},
                  {QStringLiteral("name2"), s.ToxicName(2)},  {QStringLiteral("fraction2"), s.Fraction(2)},
                  {QStringLiteral("hcFullScale"), s.HCFullScale()}};
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

LogSensors CHistoryFields::Sensors(const QString &text)
{
    const QJsonObject o = QJsonDocument::fromJson(text.toUtf8()).object();
    if (o.isEmpty())
        return {};
    return LogSensors(o.value(QStringLiteral("name1")).toString(), o.value(QStringLiteral("fraction1")).toInt(),
                      o.value(QStringLiteral("name2")).toString(), o.value(QStringLiteral("fraction2")).toInt(),
                      o.value(QStringLiteral("hcFullScale")).toInt());
}

CHistoryFields::SettingsFacts CHistoryFields::Facts(const QString &optionsText)
{
    SettingsFacts f;
    CProfileFile file;
    file.LoadFromBytes(optionsText.toLatin1());
    f.calIntervalDays = qMax(0, file.GetInt(COptionsFile::AdvancedSection, QStringLiteral("CalInterval"), 0));
    f.bumpTestRequired = file.GetInt(COptionsFile::AdvancedSection, QStringLiteral("BumpTest"), 0) != 0;
    const QDate date = QDate::fromString(file.GetString(COptionsFile::SensorsSection, QStringLiteral("LastCalDate")),
                                         QStringLiteral("MM/dd/yyyy"));
    if (date.isValid())
        f.lastCalDate = date.startOfDay(Qt::UTC);
    return f;
}
