// The history's printed reports: the calibration due list and one instrument's calibration record, as rich text ready for a printer or a PDF file.
#pragma once

#include "history/HistoryTypes.h"

#include <QDateTime>
#include <QList>
#include <QPageLayout>
#include <QString>
#include <memory>
#include <optional>

class CHistoryStore;
class QTextDocument;

/*
 * Times are kept in UTC and shown in this computer's local time, dates as
 * yyyy-MM-dd so that a list sorts and reads the same in every shop. A row is
 * overdue when a due date lies before the time the report is made for; the
 * report says which date that was, so a printed list is never mistaken for
 * a newer one.
 */
class CHistoryReport
{
public:
    static QString DueListTitle();                          // "Calibration Due List"
    // The due list's eight columns want the page's long side.
    static constexpr QPageLayout::Orientation DueListOrientation = QPageLayout::Landscape;
    static QString CalibrationRecordTitle(const QString &serial); // "Calibration Record 0000A1B2"

    // What the fleet table's status column and the due list say about a
    // row: "Calibration overdue", "Due in 12 days", empty without due dates.
    static QString StatusText(const HistoryFleetRow &row, const QDateTime &now);
    // When the instrument's own due date and the log's lie more than a day
    // apart: "instrument: due 2026-03-14; log: calibrated 2026-12-04" (or
    // "log: calibration failed 2026-12-04"); empty otherwise. The date
    // shown as due is the earlier of the two.
    static QString DueDisagreement(const HistoryFleetRow &row);
    // StatusText followed by the disagreement in brackets, when there is one.
    static QString StatusWithDisagreement(const HistoryFleetRow &row, const QDateTime &now);
    // "HC", "O2", "Toxic 1 (CO)": the toxic gases as the options text names them.
    static QString SensorName(int sensor, const QString &optionsText = QString());
    static QString LocalDate(const QDateTime &utc);
    static QString LocalDateTime(const QDateTime &utc);

    // withinDays < 0: every instrument with a due date.
    static QString DueListHtml(const QList<HistoryFleetRow> &rows, int withinDays, const QDateTime &now);
    // fleet: the instrument's fleet row (due dates); snapshots: its settings
    // (the newest gives the gas names, each calibration the ones in force
    // then); retrievals: who brought each calibration's log.
    static QString CalibrationRecordHtml(const HistoryInstrument &instrument, const std::optional<HistoryFleetRow> &fleet,
                                         const QList<HistoryCalibration> &calibrations, const QList<HistorySnapshot> &snapshots,
                                         const QList<HistoryLogRetrieval> &retrievals, const QDateTime &now);

    // The same, read from a store and made into documents with the report
    // font. nullptr for a serial the history does not know.
    static std::unique_ptr<QTextDocument> DueList(const CHistoryStore &store, int withinDays, const QDateTime &now);
    static std::unique_ptr<QTextDocument> CalibrationRecord(const CHistoryStore &store, const QString &serial,
                                                            const QDateTime &now);
    static std::unique_ptr<QTextDocument> Document(const QString &html, const QString &title);
};
