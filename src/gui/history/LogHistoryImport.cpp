// The log window's "Add to History".
#include "LogHistoryImport.h"

#include "datalog/Log.h"
#include "history/HistoryCsvImport.h"
#include "history/HistoryStore.h"

#include <QDir>
#include <QFileInfo>
#include <QInputDialog>

CLogHistoryImport *CLogHistoryImport::Attach(CLog &log, CHistoryStore &store, std::function<void()> changed)
{
    auto *import = new CLogHistoryImport(log, store, std::move(changed));
    log.SetAddToHistory([import](const QString &path, const QList<LogRecord> &entries) { return import->Add(path, entries); });
    return import;
}

CLogHistoryImport::CLogHistoryImport(CLog &log, CHistoryStore &store, std::function<void()> changed)
    : QObject(&log), m_store(store), m_changed(std::move(changed))
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

QString CLogHistoryImport::NormalSerial(const QString &text)
{
    const QString t = text.trimmed();
    bool ok = false;
    const qulonglong n = t.toULongLong(&ok, 16);
    if (!ok || t.isEmpty() || t.size() > 8 || t.startsWith(QLatin1Char('+')) || t.startsWith(QLatin1Char('-')))
        return {};
    return QStringLiteral("%1").arg(n, 8, 16, QLatin1Char('0')).toUpper();
}

QString CLogHistoryImport::Add(const QString &path, const QList<LogRecord> &entries)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (!m_store.IsOpen())
        return QStringLiteral("%1 was not added: the instrument history is not open.").arg(shown);
    const QList<HistoryFleetRow> fleet = m_store.Fleet();
    QString serial = CHistoryCsvImport::MatchSerial(fleet, path, entries);
    if (serial.isEmpty()) {
        QStringList known;
        for (const HistoryFleetRow &r : fleet)
            known.append(r.instrumentId.isEmpty() ? r.serial : QStringLiteral("%1  %2").arg(r.serial, r.instrumentId));
        const QString answer = m_asker ? m_asker(path, known) : QString();
        if (answer.trimmed().isEmpty())
            return {};
        serial = NormalSerial(answer.trimmed().section(QLatin1Char(' '), 0, 0));
        if (serial.isEmpty())
            return QStringLiteral("\"%1\" is not a serial number (8 hexadecimal digits, e.g. 0001E240); %2 was not added.")
                .arg(answer.trimmed(), shown);
    }
    CHistoryCsvImport::Result read;
    const HistoryWriteResult result = CHistoryCsvImport::Record(m_store, path, serial, &read);
    if (result.stored || result.spooled) {
        if (m_changed)
            m_changed();
    }
    if (result.stored)
        return QStringLiteral("%1 added to the history of %2: %3 entries, %4 new.")
            .arg(shown, serial)
            .arg(read.read.entries.size())
            .arg(result.added);
    if (result.spooled)
        return QStringLiteral("%1 for %2 waits to be written: %3").arg(shown, serial, m_store.WarningText());
    return QStringLiteral("%1 was not added to the history of %2: %3").arg(shown, serial, result.error);
}
