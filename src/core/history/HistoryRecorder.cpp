// Writes the history where operations complete.
#include "history/HistoryRecorder.h"

#include "boardtest/BoardTestSequence.h"
#include "datalog/LogRetrieval.h"
#include "document/DownloadVerifier.h"
#include "document/InstrumentDoc.h"
#include "document/OptionsFile.h"
#include "firmware/ProgrammingEngine.h"
#include "history/HistoryStore.h"
#include "history/HistoryWorker.h"
#include "platform/ProfileFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <optional>

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

bool CHistoryRecorder::IsRecording() const
{
    return m_store != nullptr || m_worker != nullptr;
}

void CHistoryRecorder::SetWorker(CHistoryWorker *worker)
{
    m_worker = worker;
}

void CHistoryRecorder::Note(const QString &what, const HistoryWriteResult &result)
{
    m_last = result;
    emit Recorded(what, result);
}

void CHistoryRecorder::Write(const QString &what, Job job)
{
    if (m_worker)
        m_worker->Ask<HistoryWriteResult>(this, std::move(job), [this, what](const HistoryWriteResult &r) { Note(what, r); });
    else if (m_store)
        Note(what, job(*m_store));
}

bool CHistoryRecorder::KnownInstrument(const QString &what, HistoryInstrument *instrument)
{
    *instrument = InstrumentNow();
    if (!instrument->serial.isEmpty())
        return true;
    HistoryWriteResult r;
    r.error = QStringLiteral("The instrument's serial number is not known (never read, or not programmed); nothing was recorded.");
    Note(what, r);
    return false;
}

namespace {
// The instrument's row goes first; when that cannot even be spooled, its result is the outcome.
template <typename Then>
HistoryWriteResult AfterInstrument(CHistoryStore &store, const HistoryInstrument &instrument, Then then)
{
    const HistoryWriteResult r = store.RecordInstrument(instrument);
    if (!r.stored && !r.spooled)
        return r;
    return then();
}
} // namespace

void CHistoryRecorder::RecordSnapshot(int kind, bool verified, const QList<HistoryDifference> &differences)
{
    const QString what = kind == HistorySnapshot::Download ? QStringLiteral("download") : QStringLiteral("upload");
    HistoryInstrument instrument;
    if (!IsRecording() || !KnownInstrument(what, &instrument))
        return;
    CProfileFile file;
    COptionsFile::Write(m_doc.Settings(), file);
    HistorySnapshot s;
    s.serial = instrument.serial;
    s.kind = HistorySnapshot::Kind(kind);
    s.optionsText = QString::fromLatin1(file.ToBytes());
    s.verified = verified;
    s.differences = differences;
    Write(what, [instrument, s](CHistoryStore &store) { return AfterInstrument(store, instrument, [&] { return store.RecordSnapshot(s); }); });
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
    const QString what = QStringLiteral("instrument");
    HistoryInstrument instrument;
    if (!IsRecording() || !KnownInstrument(what, &instrument))
        return;
    Write(what, [instrument](CHistoryStore &store) { return store.RecordInstrument(instrument); });
}

void CHistoryRecorder::LogRetrieved(const QList<LogRecord> &entries, const LogSensors &sensors)
{
    const QString what = QStringLiteral("log");
    HistoryInstrument instrument;
    if (!IsRecording() || !KnownInstrument(what, &instrument))
        return;
    HistoryLogRetrieval r;
    r.serial = instrument.serial;
    r.source = HistoryLogRetrieval::Instrument;
    r.sensors = sensors;
    Write(what, [instrument, r, entries](CHistoryStore &store) {
        return AfterInstrument(store, instrument, [&] { return store.RecordLog(r, entries); });
    });
}

void CHistoryRecorder::FirmwareRunDone(const QString &hexFile, bool passed, const QString &result, quint32 stampedSerial)
{
    if (!IsRecording())
        return;
    HistoryFirmwareRun run;
    run.serial = stampedSerial && stampedSerial != ErasedSerial
                     ? QStringLiteral("%1").arg(stampedSerial, 8, 16, QLatin1Char('0')).toUpper()
                     : CurrentSerial();
    run.fileName = QFileInfo(hexFile).fileName();
    run.passed = passed;
    run.result = result;
    // A programmed instrument is one of the fleet from now on.
    std::optional<HistoryInstrument> programmed;
    if (passed && !run.serial.isEmpty()) {
        programmed = InstrumentNow();
        programmed->serial = run.serial;
    }
    Write(QStringLiteral("firmware"), [run, programmed, hexFile](CHistoryStore &store) mutable {
        run.sha256 = Sha256Of(hexFile);
        if (programmed)
            store.RecordInstrument(*programmed);
        return store.RecordFirmwareRun(run);
    });
}

void CHistoryRecorder::BoardTestGroupDone(const QString &group, bool passed, const QString &detail)
{
    if (!IsRecording())
        return;
    HistoryBoardTest t;
    t.serial = CurrentSerial();
    t.group = group;
    t.passed = passed;
    t.detail = detail;
    Write(QStringLiteral("boardtest"), [t](CHistoryStore &store) { return store.RecordBoardTest(t); });
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
