// The calibration due list and the calibration record.
#include "HistoryReport.h"

#include "CalibrationCertificate.h"
#include "ReportHtml.h"
#include "history/HistoryDue.h"
#include "history/HistoryStore.h"
#include "platform/ProfileFile.h"

#include <QTextDocument>

namespace {

const QString DateFormat = QStringLiteral("yyyy-MM-dd");
const QString DateTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm");
const QString OverdueColour = QStringLiteral("#b00020");
const QString OverdueBackground = QStringLiteral("#fde7e9");
using ReportHtml::Esc;
using ReportHtml::Head;
using ReportHtml::HeadBackground;
using ReportHtml::TableStart;

QString Cell(const QString &text, bool bold = false)
{
    const QString inner = Esc(text);
    return QStringLiteral("<td>%1</td>").arg(bold ? QStringLiteral("<b>%1</b>").arg(inner) : inner);
}

// Dates and serial numbers never break inside.
QString Fixed(const QString &text, bool bold = false)
{
    const QString inner = Esc(text);
    return QStringLiteral("<td style=\"white-space: nowrap;\">%1</td>").arg(bold ? QStringLiteral("<b>%1</b>").arg(inner) : inner);
}

QString Heading(const QString &title, const QString &subtitle)
{
    return QStringLiteral("<h2 style=\"margin-bottom: 2px;\">%1</h2><p style=\"color: #555555; margin-top: 0px;\">%2</p>")
        .arg(Esc(title), subtitle);
}

QString Made(const QDateTime &now)
{
    QString text = QStringLiteral("Made %1").arg(Esc(CHistoryReport::LocalDateTime(now)));
    if (!CHistoryStore::ComputerName().isEmpty())
        text += QStringLiteral(" on %1").arg(Esc(CHistoryStore::ComputerName()));
    if (!CHistoryStore::UserName().isEmpty())
        text += QStringLiteral(" by %1").arg(Esc(CHistoryStore::UserName()));
    return text;
}

bool Before(const QDateTime &due, const QDateTime &now)
{
    return due.isValid() && due < now;
}

QString Days(qint64 days)
{
    return days == 1 ? QStringLiteral("1 day") : QStringLiteral("%1 days").arg(days);
}

} // namespace

QString CHistoryReport::DueListTitle()
{
    return QStringLiteral("Calibration Due List");
}

QString CHistoryReport::CalibrationRecordTitle(const QString &serial)
{
    return QStringLiteral("Calibration Record %1").arg(serial);
}

QString CHistoryReport::LocalDate(const QDateTime &utc)
{
    return utc.isValid() ? utc.toLocalTime().toString(DateFormat) : QString();
}

QString CHistoryReport::LocalDateTime(const QDateTime &utc)
{
    return utc.isValid() ? utc.toLocalTime().toString(DateTimeFormat) : QString();
}

QString CHistoryReport::StatusText(const HistoryFleetRow &row, const QDateTime &now)
{
    const bool calibration = Before(row.calibrationDue, now);
    const bool bump = Before(row.bumpTestDue, now);
    if (calibration && bump)
        return QStringLiteral("Calibration and bump test overdue");
    if (calibration)
        return QStringLiteral("Calibration overdue");
    if (bump)
        return QStringLiteral("Bump test overdue");
    if (row.overdue)
        return QStringLiteral("Overdue");
    QDateTime next;
    for (const QDateTime &due : {row.calibrationDue, row.bumpTestDue}) {
        if (due.isValid() && (!next.isValid() || due < next))
            next = due;
    }
    if (!next.isValid())
        return {};
    const qint64 days = now.toLocalTime().date().daysTo(next.toLocalTime().date());
    if (days <= 0)
        return QStringLiteral("Due today");
    return QStringLiteral("Due in %1").arg(Days(days));
}

QString CHistoryReport::DueDisagreement(const HistoryFleetRow &row)
{
    return CHistoryDue::Disagreement(row);
}

QString CHistoryReport::StatusWithDisagreement(const HistoryFleetRow &row, const QDateTime &now)
{
    const QString status = StatusText(row, now);
    const QString differ = DueDisagreement(row);
    if (differ.isEmpty())
        return status;
    return status.isEmpty() ? differ : QStringLiteral("%1 (%2)").arg(status, differ);
}

QString CHistoryReport::SensorName(int sensor, const QString &optionsText)
{
    switch (sensor) {
    case HistoryCalibration::HC:
        return QStringLiteral("HC");
    case HistoryCalibration::O2:
        return QStringLiteral("O2");
    case HistoryCalibration::Toxic1:
    case HistoryCalibration::Toxic2: {
        const int n = sensor == HistoryCalibration::Toxic1 ? 1 : 2;
        QString gas;
        if (!optionsText.isEmpty()) {
            CProfileFile file;
            file.LoadFromBytes(optionsText.toLatin1());
            gas = file.GetString(QStringLiteral("Advanced Features"), QStringLiteral("Sensor%1").arg(n + 2)).trimmed();
        }
        return gas.isEmpty() ? QStringLiteral("Toxic %1").arg(n) : QStringLiteral("Toxic %1 (%2)").arg(n).arg(gas);
    }
    default:
        return QStringLiteral("Sensor %1").arg(sensor + 1);
    }
}

QString CHistoryReport::DueListHtml(const QList<HistoryFleetRow> &rows, int withinDays, const QDateTime &now)
{
    int overdue = 0;
    for (const HistoryFleetRow &r : rows)
        overdue += Before(r.calibrationDue, now) || Before(r.bumpTestDue, now) || r.overdue ? 1 : 0;
    const QString scope = withinDays < 0 ? QStringLiteral("Every instrument with a due date")
                                         : QStringLiteral("Due within %1 of %2, overdue included")
                                               .arg(Days(withinDays), LocalDate(now));
    QString html = Heading(DueListTitle(), QStringLiteral("%1. %2.<br>%3 instrument(s), %4 overdue.")
                                               .arg(Esc(scope), Made(now)).arg(rows.size()).arg(overdue));
    if (rows.isEmpty())
        return html + QStringLiteral("<p>No instrument falls due in this time.</p>");

    html += TableStart;
    html += Head({QStringLiteral("Serial"), QStringLiteral("Instrument ID"), QStringLiteral("Configuration"),
                  QStringLiteral("Last calibration"), QStringLiteral("Calibration due"), QStringLiteral("Last bump test"),
                  QStringLiteral("Bump test due"), QStringLiteral("Status")});
    for (const HistoryFleetRow &r : rows) {
        const bool late = Before(r.calibrationDue, now) || Before(r.bumpTestDue, now) || r.overdue;
        html += late ? QStringLiteral("<tr bgcolor=\"%1\">").arg(OverdueBackground) : QStringLiteral("<tr>");
        html += Fixed(r.serial, true) + Cell(r.instrumentId) + Cell(r.configuration) + Fixed(LocalDate(r.lastCalibration))
                + Fixed(LocalDate(r.calibrationDue), Before(r.calibrationDue, now)) + Fixed(LocalDate(r.lastBumpTest))
                + Fixed(LocalDate(r.bumpTestDue), Before(r.bumpTestDue, now));
        const QString status = StatusWithDisagreement(r, now);
        html += late ? QStringLiteral("<td><b><font color=\"%1\">%2</font></b></td>").arg(OverdueColour, Esc(status))
                     : Cell(status);
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

QString CHistoryReport::CalibrationRecordHtml(const HistoryInstrument &instrument, const std::optional<HistoryFleetRow> &fleet,
                                              const QList<HistoryCalibration> &calibrations, const QList<HistorySnapshot> &snapshots,
                                              const QList<HistoryLogRetrieval> &retrievals, const QDateTime &now)
{
    const HistorySnapshot *newest = nullptr;
    for (const HistorySnapshot &s : snapshots) {
        if (!newest || s.time > newest->time)
            newest = &s;
    }
    const QString optionsText = newest ? newest->optionsText : QString();
    QString html = Heading(CalibrationRecordTitle(instrument.serial), Made(now));

    // The instrument's particulars as a two-column table.
    const auto fact = [](const QString &label, const QString &value) {
        return QStringLiteral("<tr><td width=\"30%\" bgcolor=\"%1\"><b>%2</b></td><td>%3</td></tr>")
            .arg(HeadBackground, Esc(label), value);
    };
    html += TableStart;
    html += fact(QStringLiteral("Serial number"), Esc(instrument.serial));
    html += fact(QStringLiteral("Instrument ID"), Esc(instrument.instrumentId));
    html += fact(QStringLiteral("Version"), Esc(instrument.version));
    html += fact(QStringLiteral("Configuration"), Esc(instrument.configuration));
    html += fact(QStringLiteral("First seen"), Esc(LocalDateTime(instrument.firstSeen)));
    html += fact(QStringLiteral("Last seen"), Esc(LocalDateTime(instrument.lastSeen)));
    html += fact(QStringLiteral("Calibration interval"),
                 instrument.calIntervalDays > 0 ? Esc(Days(instrument.calIntervalDays)) : QStringLiteral("not set"));
    html += fact(QStringLiteral("Bump test"), instrument.bumpTestRequired ? QStringLiteral("required") : QStringLiteral("not required"));
    if (fleet) {
        const auto due = [&](const QDateTime &d) {
            if (!d.isValid())
                return QStringLiteral("-");
            const QString text = Esc(LocalDate(d));
            return Before(d, now) ? QStringLiteral("<b><font color=\"%1\">%2 (overdue)</font></b>").arg(OverdueColour, text) : text;
        };
        html += fact(QStringLiteral("Last calibration"), fleet->lastCalibration.isValid() ? Esc(LocalDate(fleet->lastCalibration)) : QStringLiteral("-"));
        html += fact(QStringLiteral("Calibration due"), due(fleet->calibrationDue));
        // The two reckonings the due date is the earlier of.
        if (fleet->instrumentDue.isValid())
            html += fact(QStringLiteral("Due by the instrument"),
                         Esc(QStringLiteral("%1 (last calibration date in its settings plus the interval)").arg(LocalDate(fleet->instrumentDue))));
        if (fleet->logDue.isValid())
            html += fact(QStringLiteral("Due by the log"),
                         Esc(QStringLiteral("%1 (%2 %3)")
                                 .arg(LocalDate(fleet->logDue),
                                      fleet->logCalibrationFailed ? QStringLiteral("calibration failed") : QStringLiteral("calibrated"),
                                      LocalDateTime(fleet->logCalibration))));
        const QString differ = DueDisagreement(*fleet);
        if (!differ.isEmpty())
            html += fact(QStringLiteral("Due dates differ"), QStringLiteral("<b><font color=\"%1\">%2</font></b>").arg(OverdueColour, Esc(differ)));
        if (instrument.bumpTestRequired || fleet->bumpTestDue.isValid())
            html += fact(QStringLiteral("Bump test due"), due(fleet->bumpTestDue));
    }
    html += QStringLiteral("</table>");

    int passed = 0;
    for (const HistoryCalibration &c : calibrations)
        passed += c.passed ? 1 : 0;
    html += QStringLiteral("<h3>Calibrations and bump tests</h3>");
    if (calibrations.isEmpty()) {
        html += QStringLiteral("<p>The stored logs of this instrument hold no calibration or bump test.");
        if (fleet && fleet->lastCalibration.isValid())
            html += QStringLiteral(" Its settings give %1 as the date of its last calibration.").arg(Esc(LocalDate(fleet->lastCalibration)));
        html += QStringLiteral("</p>");
    } else {
        html += QStringLiteral("<p>%1 record(s) from the instrument's data logs, %2 passed, %3 not passed.</p>")
                    .arg(calibrations.size())
                    .arg(passed)
                    .arg(calibrations.size() - passed);
        html += TableStart;
        html += Head({QStringLiteral("Date and time"), QStringLiteral("Kind"), QStringLiteral("Sensor"), QStringLiteral("Result")});
        for (const HistoryCalibration &c : calibrations) {
            html += c.passed ? QStringLiteral("<tr>") : QStringLiteral("<tr bgcolor=\"%1\">").arg(OverdueBackground);
            html += Fixed(LocalDateTime(c.time));
            html += Cell(c.kind == HistoryCalibration::BumpTest ? QStringLiteral("Bump test") : QStringLiteral("Calibration"));
            html += Cell(SensorName(c.sensor, optionsText));
            html += Cell(c.result.isEmpty() ? (c.passed ? QStringLiteral("Passed") : QStringLiteral("Failed")) : c.result, !c.passed);
            html += QStringLiteral("</tr>");
        }
        html += QStringLiteral("</table>");
    }
    html += CCalibrationCertificate::Html(calibrations, snapshots, retrievals, instrument.configuration);
    html += QStringLiteral("<p><br>Checked by: ______________________________ &nbsp;&nbsp; Date: ________________</p>");
    return html;
}

std::unique_ptr<QTextDocument> CHistoryReport::Document(const QString &html, const QString &title)
{
    auto doc = std::make_unique<QTextDocument>();
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(9.0);
    doc->setDefaultFont(font);
    doc->setMetaInformation(QTextDocument::DocumentTitle, title);
    doc->setHtml(html);
    return doc;
}

std::unique_ptr<QTextDocument> CHistoryReport::DueList(const CHistoryStore &store, int withinDays, const QDateTime &now)
{
    const QList<HistoryFleetRow> rows = withinDays < 0 ? store.Fleet(now) : store.Due(withinDays, now);
    QList<HistoryFleetRow> dated;
    for (const HistoryFleetRow &r : rows) {
        if (withinDays >= 0 || r.calibrationDue.isValid() || r.bumpTestDue.isValid())
            dated.append(r);
    }
    return Document(DueListHtml(dated, withinDays, now), DueListTitle());
}

std::unique_ptr<QTextDocument> CHistoryReport::CalibrationRecord(const CHistoryStore &store, const QString &serial,
                                                                 const QDateTime &now)
{
    const std::optional<HistoryInstrument> instrument = store.Instrument(serial);
    if (!instrument)
        return nullptr;
    std::optional<HistoryFleetRow> fleet;
    for (const HistoryFleetRow &r : store.Fleet(now)) {
        if (r.serial == serial)
            fleet = r;
    }
    return Document(CalibrationRecordHtml(*instrument, fleet, store.Calibrations(serial), store.Snapshots(serial),
                                          store.Retrievals(serial), now),
                    CalibrationRecordTitle(serial));
}
