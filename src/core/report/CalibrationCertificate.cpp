// Calibration certificates from the history's calibrations, snapshots and retrievals.
#include "CalibrationCertificate.h"

#include "ReportHtml.h"
#include "document/OptionsFile.h"
#include "document/RangeRecord.h"
#include "document/SettingsCodec.h"
#include "platform/ProfileFile.h"
#include "report/HistoryReport.h"

#include <algorithm>

namespace {
using ReportHtml::Esc;
using ReportHtml::TableStart;
const QString FailBackground = QStringLiteral("#fde7e9");

// The combustible unit a configuration text names ("-02 %LEL HEX").
QString HcUnit(const QString &configuration)
{
    for (int units : {CRangeRecord::UnitLel, CRangeRecord::UnitVol, CRangeRecord::UnitPpm, CRangeRecord::UnitGas,
                      CRangeRecord::UnitLow, CRangeRecord::UnitHi}) {
        const QString label = CRangeRecord::UnitLabel(units);
        if (configuration.split(QLatin1Char(' '), Qt::SkipEmptyParts).contains(label, Qt::CaseInsensitive))
            return label;
    }
    return {};
}

QString WithUnit(const QString &value, const QString &unit)
{
    if (value.isEmpty())
        return QStringLiteral("-");
    return unit.trimmed().isEmpty() ? value : QStringLiteral("%1 %2").arg(value, unit.trimmed());
}

const HistorySnapshot *InForce(const QList<HistorySnapshot> &snapshots, const QDateTime &t, bool *later)
{
    const HistorySnapshot *before = nullptr, *after = nullptr;
    for (const HistorySnapshot &s : snapshots) {
        if (s.time <= t) {
            if (!before || s.time > before->time)
                before = &s;
        } else if (!after || s.time < after->time) {
            after = &s;
        }
    }
    *later = !before && after;
    return before ? before : after;
}

const HistoryLogRetrieval *BroughtBy(const QList<HistoryLogRetrieval> &retrievals, const QDateTime &t)
{
    const HistoryLogRetrieval *first = nullptr;
    for (const HistoryLogRetrieval &r : retrievals) {
        if (!r.firstEntry.isValid() || t < r.firstEntry || t > r.lastEntry)
            continue;
        if (!first || r.time < first->time || (r.time == first->time && r.id < first->id))
            first = &r;
    }
    return first;
}

QString Who(const QString &computer, const QString &user)
{
    if (computer.isEmpty() && user.isEmpty())
        return QStringLiteral("computer and user not recorded");
    return QStringLiteral("on %1 by %2").arg(computer.isEmpty() ? QStringLiteral("-") : computer,
                                              user.isEmpty() ? QStringLiteral("-") : user);
}
} // namespace

CCalibrationCertificate::SensorSettings CCalibrationCertificate::Settings(const QString &optionsText, int sensor,
                                                                         const QString &configuration)
{
    SensorSettings s;
    CProfileFile file;
    file.LoadFromBytes(optionsText.toLatin1());
    const QString &adv = COptionsFile::AdvancedSection;
    const QString key = QString::number(sensor + 1);
    const QString fittedText = file.GetString(adv, QStringLiteral("Sensor") + key).trimmed();
    s.fitted = !fittedText.isEmpty() && !fittedText.startsWith(QLatin1Char('-'));
    QString level = key;
    switch (sensor) {
    case HistoryCalibration::HC: {
        s.name = QStringLiteral("HC");
        s.unit = HcUnit(configuration);
        // The levels of the range in use, as the settings view shows them.
        QByteArray block;
        int range = 0;
        if (file.GetStruct(COptionsFile::BinarySection, COptionsFile::TimeKeeperKey, block, 64))
            range = (quint8(block[22]) >> 4) & 3;
        level = QStringLiteral("1-%1").arg(range);
        break;
    }
    case HistoryCalibration::O2:
        s.name = QStringLiteral("O2");
        s.unit = QStringLiteral("%VOL");
        break;
    default:
        s.name = fittedText.isEmpty() ? QStringLiteral("Toxic %1").arg(sensor - 1) : fittedText;
        // The views name H2 "H2 ", padded to the table's three characters.
        s.unit = CSettingsCodec::ToxicUnits(fittedText.left(3).leftJustified(3, QLatin1Char(' ')));
        break;
    }
    s.calGas = file.GetString(adv, QStringLiteral("CalGas") + key).trimmed();
    s.warning = file.GetString(adv, QStringLiteral("WarningAlarm") + level).trimmed();
    s.high = file.GetString(adv, QStringLiteral("HighAlarm") + level).trimmed();
    return s;
}

QString CCalibrationCertificate::Html(const QList<HistoryCalibration> &calibrations, const QList<HistorySnapshot> &snapshots,
                                      const QList<HistoryLogRetrieval> &retrievals, const QString &configuration)
{
    // One certificate per calibration: the sensors' results share its time.
    QList<QList<HistoryCalibration>> groups;
    for (const HistoryCalibration &c : calibrations) {
        if (c.kind != HistoryCalibration::Calibration)
            continue;
        if (groups.isEmpty() || groups.last().first().time != c.time)
            groups.append(QList<HistoryCalibration>());
        groups.last().append(c);
    }
    if (groups.isEmpty())
        return {};
    QString html = QStringLiteral("<h3>Calibration certificates</h3>");
    // Newest first: the one a customer asks for is on the first page.
    for (auto g = groups.crbegin(); g != groups.crend(); ++g) {
        const QDateTime t = g->first().time;
        bool later = false;
        const HistorySnapshot *settings = InForce(snapshots, t, &later);
        const HistoryLogRetrieval *retrieval = BroughtBy(retrievals, t);
        html += QStringLiteral("<p style=\"margin-top: 10px;\"><b>Calibration %1</b><br>").arg(Esc(CHistoryReport::LocalDateTime(t)));
        if (settings) {
            html += Esc(QStringLiteral("Settings in force: %1 %2 %3%4")
                            .arg(settings->kind == HistorySnapshot::Download ? QStringLiteral("downloaded") : QStringLiteral("uploaded"),
                                 CHistoryReport::LocalDateTime(settings->time), Who(settings->computer, settings->user),
                                 later ? QStringLiteral(" (read after this calibration)") : QString()));
        } else {
            html += QStringLiteral("Settings in force: none recorded");
        }
        html += QStringLiteral("<br>");
        if (retrieval) {
            html += Esc(QStringLiteral("Log %1 %2 %3")
                            .arg(retrieval->source == HistoryLogRetrieval::CsvFile
                                     ? QStringLiteral("imported from %1").arg(retrieval->fileName)
                                     : QStringLiteral("retrieved"),
                                 CHistoryReport::LocalDateTime(retrieval->time), Who(retrieval->computer, retrieval->user)));
        }
        html += QStringLiteral("</p>");
        html += TableStart;
        html += ReportHtml::Head({QStringLiteral("Sensor"), QStringLiteral("Calibration gas"), QStringLiteral("Warning alarm"),
                                  QStringLiteral("High alarm"), QStringLiteral("Result")});
        for (const HistoryCalibration &c : *g) {
            const SensorSettings s = settings ? Settings(settings->optionsText, c.sensor, configuration) : SensorSettings{};
            const QString name = settings ? CHistoryReport::SensorName(c.sensor, settings->optionsText) : CHistoryReport::SensorName(c.sensor);
            const QString result = c.result.isEmpty() ? (c.passed ? QStringLiteral("Passed") : QStringLiteral("Failed")) : c.result;
            html += c.passed ? QStringLiteral("<tr>") : QStringLiteral("<tr bgcolor=\"%1\">").arg(FailBackground);
            html += QStringLiteral("<td>%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td></tr>")
                        .arg(Esc(name), Esc(WithUnit(s.calGas, s.unit)), Esc(WithUnit(s.warning, s.unit)), Esc(WithUnit(s.high, s.unit)),
                             c.passed ? Esc(result) : QStringLiteral("<b>%1</b>").arg(Esc(result)));
        }
        html += QStringLiteral("</table>");
    }
    return html;
}
