// Writes the history where operations complete.
#include "history/HistoryRecorder.h"

#include "boardtest/BoardTestSequence.h"
#include "datalog/LogRetrieval.h"
#include "document/DownloadVerifier.h"
#include "document/InstrumentDoc.h"
#include "document/OptionsFile.h"
#include "firmware/ProgrammingEngine.h"
#include "history/HistoryStore.h"
#include "platform/ProfileFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace {
constexpr quint32 ErasedSerial = 0xFFFFFFFF;

QString Sha256Of(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return QString::fromLatin1(hash.result().toHex());
}
} // namespace

CHistoryRecorder::CHistoryRecorder(CInstrumentDoc &doc, CHistoryStore *store, QObject *parent)
    : QObject(parent), m_doc(doc), m_store(store)
{
}

CHistoryRecorder::~CHistoryRecorder()
{
    Flush();
}

void CHistoryRecorder::SetStore(CHistoryStore *store)
{
    m_store = store;
}

QString CHistoryRecorder::CurrentSerial() const
{
    const CInstrumentIdentity id = m_doc.Identity();
    return id.SerialNumber() == ErasedSerial ? QString() : id.SerialText();
}

HistoryInstrument CHistoryRecorder::InstrumentNow() const
{
    const CInstrumentIdentity id = m_doc.Identity();
    HistoryInstrument i;
    i.serial = CurrentSerial();
    i.version = id.VersionText();
    const QString configuration = id.ConfigurationText();
    i.configuration = configuration == QLatin1String("Invalid") ? QString() : configuration.trimmed();
    i.instrumentId = m_doc.Settings().InstrumentId().trimmed();
    i.lastSeen = QDateTime::currentDateTimeUtc();
    return i;
}

void CHistoryRecorder::Note(const QString &what, const HistoryWriteResult &result)
{
    m_last = result;
    emit Recorded(what, result);
}

bool CHistoryRecorder::RecordInstrumentNow(const QString &what)
{
    const HistoryInstrument i = InstrumentNow();
    if (i.serial.isEmpty()) {
        HistoryWriteResult r;
        r.error = QStringLiteral("The instrument's serial number is not known (never read, or not programmed); nothing was recorded.");
        Note(what, r);
        return false;
    }
    const HistoryWriteResult r = m_store->RecordInstrument(i);
    if (!r.stored && !r.spooled) {
        Note(what, r);
        return false;
    }
    return true;
}

void CHistoryRecorder::RecordSnapshot(int kind, bool verified, const QList<HistoryDifference> &differences)
{
    const QString what = kind == HistorySnapshot::Download ? QStringLiteral("download") : QStringLiteral("upload");
    if (!m_store || !RecordInstrumentNow(what))
        return;
    CProfileFile file;
    COptionsFile::Write(m_doc.Settings(), file);
    HistorySnapshot s;
    s.serial = CurrentSerial();
    s.kind = HistorySnapshot::Kind(kind);
    s.optionsText = QString::fromLatin1(file.ToBytes());
    s.verified = verified;
    s.differences = differences;
    Note(what, m_store->RecordSnapshot(s));
}

void CHistoryRecorder::UploadDone()
{
    RecordSnapshot(HistorySnapshot::Upload, true, {});
}

void CHistoryRecorder::DownloadVerified(const QList<CDownloadDifference> &differences)
{
    QList<HistoryDifference> list;
    for (const CDownloadDifference &d : differences)
        list.append({d.key, d.sent, d.readBack});
    RecordSnapshot(HistorySnapshot::Download, differences.isEmpty(), list);
}

void CHistoryRecorder::InstrumentSeen()
{
    if (!m_store)
        return;
    const HistoryInstrument i = InstrumentNow();
    if (i.serial.isEmpty())
        RecordInstrumentNow(QStringLiteral("instrument")); // says why nothing was recorded
    else
        Note(QStringLiteral("instrument"), m_store->RecordInstrument(i));
}

void CHistoryRecorder::LogRetrieved(const QList<LogRecord> &entries, const LogSensors &sensors)
{
    if (!m_store || !RecordInstrumentNow(QStringLiteral("log")))
        return;
    HistoryLogRetrieval r;
    r.serial = CurrentSerial();
    r.source = HistoryLogRetrieval::Instrument;
    r.sensors = sensors;
    Note(QStringLiteral("log"), m_store->RecordLog(r, entries));
}

void CHistoryRecorder::FirmwareRunDone(const QString &hexFile, bool passed, const QString &result, quint32 stampedSerial)
{
    if (!m_store)
        return;
    HistoryFirmwareRun run;
    run.serial = stampedSerial && stampedSerial != ErasedSerial
                     ? QStringLiteral("%1").arg(stampedSerial, 8, 16, QLatin1Char('0')).toUpper()
                     : CurrentSerial();
    run.fileName = QFileInfo(hexFile).fileName();
    run.sha256 = Sha256Of(hexFile);
    run.passed = passed;
    run.result = result;
    if (passed && !run.serial.isEmpty()) {
        // A programmed instrument is one of the fleet from now on.
        HistoryInstrument i = InstrumentNow();
        i.serial = run.serial;
        m_store->RecordInstrument(i);
    }
    Note(QStringLiteral("firmware"), m_store->RecordFirmwareRun(run));
}

void CHistoryRecorder::BoardTestGroupDone(const QString &group, bool passed, const QString &detail)
{
    if (!m_store)
        return;
    HistoryBoardTest t;
    t.serial = CurrentSerial();
    t.group = group;
    t.passed = passed;
    t.detail = detail;
    Note(QStringLiteral("boardtest"), m_store->RecordBoardTest(t));
}

void CHistoryRecorder::Later(std::function<void()> write)
{
    m_pending.append(std::move(write));
    if (!m_flushQueued) {
        m_flushQueued = true;
        QTimer::singleShot(0, this, [this] { Flush(); });
    }
}

void CHistoryRecorder::Flush()
{
    m_flushQueued = false;
    while (!m_pending.isEmpty()) {
        const std::function<void()> write = m_pending.takeFirst();
        write();
    }
}

void CHistoryRecorder::WatchLog(CLogRetrieval &log)
{
    // Sessions are found after an upload from the instrument and after a
    // load from a file; only the first brings entries from the instrument.
    connect(&log, &CLogRetrieval::StateChanged, this, [this, &log, wasRetrieving = false]() mutable {
        const bool retrieving = log.Retrieving();
        if (wasRetrieving && !retrieving && log.LiveSensors()) {
            const QList<LogRecord> entries = log.Entries();
            const LogSensors sensors = log.Sensors();
            Later([this, entries, sensors] { LogRetrieved(entries, sensors); });
        }
        wasRetrieving = retrieving;
    });
}

void CHistoryRecorder::WatchProgramming(CProgrammingEngine &engine, std::function<QString()> hexFile)
{
    connect(&engine, &CProgrammingEngine::StateChanged, this, [this, &engine, hexFile](CProgrammingEngine::State state) {
        using State = CProgrammingEngine::State;
        if (state != State::Done && state != State::Failed && state != State::Cancelled)
            return;
        const QString file = hexFile ? hexFile() : QString();
        const bool passed = state == State::Done;
        const QString result = passed ? QStringLiteral("Done")
                               : state == State::Cancelled ? QStringLiteral("Cancelled")
                               : engine.ErrorString().isEmpty() ? QStringLiteral("Failed")
                                                                : QStringLiteral("Failed: %1").arg(engine.ErrorString());
        const quint32 serial = passed ? engine.SerialNumber() : 0;
        Later([this, file, passed, result, serial] { FirmwareRunDone(file, passed, result, serial); });
    });
}

void CHistoryRecorder::WatchBoardTest(CBoardTestSequence &sequence)
{
    connect(&sequence, &CBoardTestSequence::Finished, this, [this, &sequence] {
        const CBoardTestTree &tree = sequence.Tree();
        QList<std::tuple<QString, bool, QString>> groups;
        for (int g = 0; g < CBoardTestTree::GroupCount; ++g) {
            const int node = tree.GroupNode(g);
            if (node < 0 || tree.At(node).state == CBoardTestTree::NotRun)
                continue;
            QStringList failures;
            for (int leaf : tree.Leaves(g)) {
                if (tree.At(leaf).state == CBoardTestTree::Failed)
                    failures.append(tree.PathOf(leaf));
            }
            groups.append({tree.At(node).name, tree.Summary(node) != CBoardTestTree::Failed, failures.join(QLatin1Char('\n'))});
        }
        Later([this, groups] {
            for (const auto &[name, passed, detail] : groups)
                BoardTestGroupDone(name, passed, detail);
        });
    });
}
