// The log window's "Add to History".
#include "LogHistoryImport.h"

#include "datalog/Log.h"
#include "history/HistoryCsvImport.h"
#include "history/HistoryStore.h"
#include "history/HistoryWorker.h"

#include <QDir>
#include <QFileInfo>
#include <QInputDialog>

namespace {
struct FleetAnswer
{
    bool open = false;
    QList<HistoryFleetRow> rows;
};

struct ImportAnswer
{
    HistoryWriteResult result;
    qsizetype entries = 0;
    QString warning;
};
} // namespace

CLogHistoryImport *CLogHistoryImport::Attach(CLog &log, CHistoryWorker &worker, std::function<void()> changed)
{
    auto *import = new CLogHistoryImport(log, worker, std::move(changed));
    log.SetAddToHistory([import](const QString &path, const QList<LogRecord> &entries) { return import->Add(path, entries); });
    return import;
}

CLogHistoryImport::CLogHistoryImport(CLog &log, CHistoryWorker &worker, std::function<void()> changed)
    : QObject(&log), m_worker(worker), m_changed(std::move(changed))
{
    m_asker = [&log](const QString &path, const QStringList &known) {
        bool ok = false;
        const QString text = QInputDialog::getItem(&log, QStringLiteral("Add to History"),
                                                   QStringLiteral("Serial number of the instrument that wrote %1:")
                                                       .arg(QFileInfo(path).fileName()),
                                                   known, -1, true, &ok);
        return ok ? text : QString();
    };
}


QString CLogHistoryImport::Add(const QString &path, const QList<LogRecord> &entries)
{
    const QString shown = QDir::toNativeSeparators(path);
    const std::optional<FleetAnswer> known = m_worker.Await<FleetAnswer>([](CHistoryStore &store) {
        FleetAnswer a;
        a.open = store.IsOpen();
        if (a.open)
            a.rows = store.Fleet();
        return a;
    });
    if (!known || !known->open)
        return QStringLiteral("%1 was not added: the instrument history is not open.").arg(shown);
    const QList<HistoryFleetRow> &fleet = known->rows;
    QString serial = CHistoryCsvImport::MatchSerial(fleet, path, entries);
    if (serial.isEmpty()) {
        QStringList known;
        for (const HistoryFleetRow &r : fleet)
            known.append(r.instrumentId.isEmpty() ? r.serial : QStringLiteral("%1  %2").arg(r.serial, r.instrumentId));
        const QString answer = m_asker ? m_asker(path, known) : QString();
        if (answer.trimmed().isEmpty())
            return {};
        serial = CHistoryCsvImport::NormalSerial(answer.trimmed().section(QLatin1Char(' '), 0, 0));
        if (serial.isEmpty())
            return QStringLiteral("\"%1\" is not a serial number (8 hexadecimal digits, e.g. 0001E240); %2 was not added.")
                .arg(answer.trimmed(), shown);
    }
    const std::optional<ImportAnswer> answer = m_worker.Await<ImportAnswer>([path, serial](CHistoryStore &store) {
        ImportAnswer a;
        CHistoryCsvImport::Result read;
        a.result = CHistoryCsvImport::Record(store, path, serial, &read);
        a.entries = read.read.entries.size();
        a.warning = store.WarningText();
        return a;
    });
    if (!answer)
        return QStringLiteral("%1 was not added to the history of %2: the history did not answer.").arg(shown, serial);
    const HistoryWriteResult &result = answer->result;
    if (result.stored || result.spooled) {
        if (m_changed)
            m_changed();
    }
    if (result.stored)
        return QStringLiteral("%1 added to the history of %2: %3 entries, %4 new.")
            .arg(shown, serial)
            .arg(answer->entries)
            .arg(result.added);
    if (result.spooled)
        return QStringLiteral("%1 for %2 waits to be written: %3").arg(shown, serial, answer->warning);
    return QStringLiteral("%1 was not added to the history of %2: %3").arg(shown, serial, result.error);
}
