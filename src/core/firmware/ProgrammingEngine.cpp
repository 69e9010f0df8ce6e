// One flash programming run from an Intel HEX file.
#include "firmware/ProgrammingEngine.h"

#include "document/InstrumentDoc.h"
#include "platform/Preferences.h"
#include "platform/UserPrompt.h"

#include <QDateTime>
#include <QSet>

namespace {
namespace Text {
const char *const Programming = "Programming";
const char *const Done = "Done";
const char *const Cancelled = "Cancelled";
const char *const Failed = "Failed";
const char *const MismatchHeader = "Mismatched ROM\n\nADDR\tROM\tHEX";
const char *const MismatchLine = "\n%1\t%2\t%3";
const char *const MismatchMore = "\n... and %1 more";
const char *const Refused = "The instrument refused to program %1 words at word %2.\n"
                            "Its firmware is incomplete: use Recover if it does not answer, then Program again.";
} // namespace Text

QString T(const char *text) { return QString::fromLatin1(text); }

QString Hex4(quint32 value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

void PutWord(CWordImage &words, quint32 word, quint16 value)
{
    words.SetWord(word, value);
}
} // namespace

CProgrammingEngine::CProgrammingEngine(CInstrumentDoc &doc, const QString &section, QObject *parent)
    : QObject(parent), m_doc(doc), m_section(section), m_caption(T(Text::Programming))
{
    connect(&m_doc, &CInstrumentDoc::Updated, this, &CProgrammingEngine::OnUpdate);
}

void CProgrammingEngine::SetCompletionSteps(std::function<void()> prepare, std::function<void()> queue)
{
    m_prepare = std::move(prepare);
    m_queue = std::move(queue);
}

bool CProgrammingEngine::Start(const QString &path)
{
    CHexFile file;
    if (!file.Load(path)) {
        m_error = file.ErrorString();
        return false;
    }
    return Start(file);
}

bool CProgrammingEngine::Start(const CHexFile &file)
{
    if (!file.IsValid()) {
        m_error = file.ErrorString().isEmpty() ? QStringLiteral("the HEX file was not read") : file.ErrorString();
        return false;
    }
    m_error.clear();
    m_lines = file.LineCount();
    m_replies = 0;
    m_serial = 0;
    m_writes.clear();
    m_reads.clear();
    m_differences.clear();
    m_reports.clear();
    m_modeOffQueued = false;
    m_rom = file.BootImage();

    m_doc.StartProgramming();
    SetStatus(T(Text::Programming));
    m_doc.SetProgramMode(1);
    SetState(State::Running);
    emit ProgressChanged(0, m_lines);
    QueueRead(IdentityWord, IdentityReadWords);
    m_doc.EraseSector(ConfigurationSector);

    // The link drops a request equal to one still waiting, so a record the
    // file repeats is sent once; counting it once keeps replies matched.
    QSet<QByteArray> queued;
    for (const CHexFile::Item &item : file.Items()) {
        switch (item.type) {
        case CHexFile::EndOfFile:
            m_doc.EndProgramming();
            break;
        case CHexFile::Data: {
            QByteArray key = QByteArray::number(item.wordAddress) + (item.InBootArea() ? 'r' : 'w') + item.bytes;
            if (queued.contains(key))
                break;
            queued.insert(key);
            if (item.InBootArea())
                QueueRead(item.wordAddress, item.WordCount());
            else
                QueueWrite(item.wordAddress, item.bytes);
            break;
        }
        default: // the base is already part of every item's word address
            break;
        }
    }

    m_doc.QueryProgramMode();
    m_doc.ReadConfigurationA();
    m_doc.ReadConfigurationB();
    m_doc.ReadToxicTableCount();
    QueueRead(IdentityWord, IdentityReadWords);
    return true;
}

void CProgrammingEngine::QueueRead(quint32 word, int words)
{
    m_reads.append({word, 2 * words});
    m_doc.ReadWords(word, words);
}

void CProgrammingEngine::QueueWrite(quint32 word, const QByteArray &bytes)
{
    m_writes.append({word, bytes});
    m_doc.WriteWords(word, bytes);
}

void CProgrammingEngine::Cancel()
{
    m_doc.ClearQueues();
    m_writes.clear();
    m_reads.clear();
    m_differences.clear();
    if (m_state == State::Running || m_state == State::Finishing) {
        SetStatus(T(Text::Cancelled));
        SetState(State::Cancelled);
    }
}

void CProgrammingEngine::OnUpdate(int code, const CReplyNotice &notice)
{
    if (m_state != State::Running && m_state != State::Finishing)
        return;
    switch (code) {
    case UpdateCode::LogData:
        // Status 0 is log data; -1 a block programmed, -2 a block refused.
        if (notice.status == -1 || notice.status == -2)
            OnWriteAnswered(notice.status == -2);
        break;
    case UpdateCode::WordBlock:
        OnWordBlock(notice.address, notice.count);
        break;
    case UpdateCode::EndProgramming:
        if (notice.status == -1 && m_state == State::Running)
            Complete();
        break;
    case UpdateCode::SetProgramMode:
        // Status -2 is a refusal, not the acknowledgement waited for.
        if (notice.status == 0 && m_state == State::Finishing && m_modeOffQueued)
            SetState(State::Done);
        break;
    default:
        break;
    }
}

void CProgrammingEngine::OnWriteAnswered(bool refused)
{
    const Pending block = m_writes.isEmpty() ? Pending{0, {}} : m_writes.takeFirst();
    if (m_state == State::Running) {
        ++m_replies;
        emit ProgressChanged(ProgressPosition(), m_lines);
    }
    if (refused)
        Fail(T(Text::Refused).arg(block.bytes.size() / 2).arg(Hex4(block.word)));
}

bool CProgrammingEngine::TakeExpectedRead(qint64 address, int count)
{
    for (qsizetype i = 0; i < m_reads.size(); ++i) {
        if (m_reads[i].word == address && m_reads[i].byteCount == count) {
            m_reads.removeAt(i);
            return true;
        }
    }
    return false;
}

void CProgrammingEngine::OnWordBlock(qint64 address, int count)
{
    // Other views and the status poll read words too; only the run's own
    // reads move the bar or are compared.
    if (m_state != State::Running || !TakeExpectedRead(address, count))
        return;
    ++m_replies;
    emit ProgressChanged(ProgressPosition(), m_lines);
    if (address < 0 || address >= qint64(CHexFile::BootAreaWords))
        return;

    const CWordImage &words = m_doc.Words();
    const qint64 end = qMin<qint64>(address + count / 2, CHexFile::BootAreaWords);
    for (qint64 a = address; a < end; ++a) {
        const quint16 rom = quint16(quint8(m_rom[2 * a]) | (quint8(m_rom[2 * a + 1]) << 8));
        const quint16 held = words.Word(a);
        if (held != rom)
            m_differences.append({quint32(a), held, rom});
    }
    AskAboutMismatches();
}

void CProgrammingEngine::AskAboutMismatches()
{
    // The question is modal in the windows, and replies keep arriving while
    // it is open: what they find waits for the next question instead of
    // opening a second one.
    if (m_asking)
        return;
    m_asking = true;
    while (!m_differences.isEmpty() && m_state == State::Running) {
        const QString report = MismatchReport(m_differences);
        m_differences.clear();
        m_reports.append(report);
        const bool goOn = m_prompt && m_prompt->AskOkCancel(m_caption, report);
        if (!goOn)
            Cancel();
    }
    m_asking = false;
}

QString CProgrammingEngine::MismatchReport(const QList<WordDifference> &differences)
{
    if (differences.isEmpty())
        return {};
    QString text = T(Text::MismatchHeader);
    const int listed = qMin(int(differences.size()), MaxListedMismatches);
    for (int i = 0; i < listed; ++i) {
        const WordDifference &d = differences[i];
        text += T(Text::MismatchLine).arg(Hex4(d.address), Hex4(d.instrument), Hex4(d.file));
    }
    if (differences.size() > listed)
        text += T(Text::MismatchMore).arg(differences.size() - listed);
    return text;
}

quint16 CProgrammingEngine::ConfigurationChecksum(const CWordImage &words)
{
    quint32 sum = ChecksumSeed;
    for (quint32 w = ConfigurationSector; w < ConfigurationSectorEnd; ++w)
        sum -= words.Word(w);
    return quint16(sum & 0xFFFF);
}

void CProgrammingEngine::Complete()
{
    m_replies = m_lines;
    emit ProgressChanged(m_lines, m_lines);
    SetStatus(T(Text::Done));
    SetState(State::Finishing);

    const int serial = CPreferences::GetInt(m_section, QString::fromLatin1(Pref::SequentialID), 1);
    CPreferences::SetInt(m_section, QString::fromLatin1(Pref::SequentialID), serial + 1);
    m_serial = quint32(serial);
    const qint64 now = m_now ? m_now() : QDateTime::currentSecsSinceEpoch();
    const quint32 date = quint32(now);

    // Serial number and date go low word first.
    CWordImage &words = m_doc.Words();
    PutWord(words, SerialWord, quint16(m_serial & 0xFFFF));
    PutWord(words, SerialWord + 1, quint16(m_serial >> 16));
    PutWord(words, DateWord, quint16(date & 0xFFFF));
    PutWord(words, DateWord + 1, quint16(date >> 16));
    if (m_prepare)
        m_prepare();
    PutWord(words, IdentityWord, ConfigurationChecksum(words));
    QueueWrite(IdentityWord, words.Bytes(IdentityWord, 2 * IdentityWriteWords));
    if (m_queue)
        m_queue();
    ChangeProgramMode(m_doc, 0);
    m_modeOffQueued = true;
}

void CProgrammingEngine::Fail(const QString &why)
{
    // The rest of the image would land on a flash that does not hold what
    // came before it, and a serial number must not be spent on it.
    m_doc.ClearQueues();
    m_writes.clear();
    m_reads.clear();
    m_error = why;
    SetStatus(T(Text::Failed));
    SetState(State::Failed);
    if (m_prompt)
        m_prompt->Message(m_caption, why, IUserPrompt::Icon::Stop);
}

void CProgrammingEngine::ChangeProgramMode(CInstrumentDoc &doc, int bit)
{
    doc.WriteRam(MarkerAddress, Marker());
    doc.SetProgramMode(bit ? 1 : 0);
}

QString CProgrammingEngine::FileValueName(const QString &path)
{
    const QString lower = path.toLower();
    QString name = QString::fromLatin1(Pref::HexFile);
    if (lower.contains(QLatin1String("flashtst.hex")))
        name = QString::fromLatin1(Pref::FlashTestFile);
    if (lower.contains(QLatin1String("mustprog.hex")))
        name = QString::fromLatin1(Pref::BoardTestFile);
    return name;
}

void CProgrammingEngine::StoreFileName(const QString &path)
{
    CPreferences::SetString(QString::fromLatin1(Pref::Programming), FileValueName(path), path);
}

void CProgrammingEngine::SetState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit StateChanged(state);
}

void CProgrammingEngine::SetStatus(const QString &text)
{
    m_status = text;
    emit StatusTextChanged(text);
}
