// Request operations, transfers and reply handling of the instrument document.
#include "InstrumentDoc.h"

#include "OptionsFile.h"
#include "SettingsCodec.h"
#include "link/RecordTypes.h"
#include "platform/Clock.h"
#include "platform/UserPrompt.h"

#include <QTimer>

namespace {
QByteArray CountByte(int n)
{
    return QByteArray(1, char(n & 0xFF));
}

int Word16(const QByteArray &data, int at)
{
    if (at + 1 >= data.size())
        return 0;
    return quint8(data[at]) | (quint8(data[at + 1]) << 8);
}

QString Hex(quint32 value)
{
    return QString::number(value, 16);
}

// Pieces in which the settings bytes 8-63 travel.
constexpr int SettingsPieces[4][2] = {{8, 16}, {24, 16}, {40, 16}, {56, 8}};
constexpr int ToxicChunkOffsets[6] = {0, 16, 32, 48, 64, 80};
} // namespace

CInstrumentDoc::CInstrumentDoc(CClock &clock, IUserPrompt *prompt, QObject *parent)
    : QObject(parent),
      m_clock(clock),
      m_prompt(prompt),
      m_link(std::make_unique<CInstrumentLink>(clock)),
      m_settings(m_words),
      m_ram(RamSize, char(0xFF)),
      m_notice(clock)
{
    for (QByteArray &b : m_live)
        b = QByteArray(8, 0);
    for (QByteArray &b : m_analog)
        b = QByteArray(10, 0);
    m_link->SetOwner(this);
}

CInstrumentDoc::~CInstrumentDoc()
{
    m_link->SetOwner(nullptr);
}

CInstrumentIdentity CInstrumentDoc::Identity() const
{
    return CInstrumentIdentity::Decode(m_words.Bytes(CInstrumentIdentity::IdentityWord, CInstrumentIdentity::IdentityBytes),
                                       m_words.Bytes(CInstrumentIdentity::ConfigurationWord, CInstrumentIdentity::ConfigurationBytes));
}

bool CInstrumentDoc::AnyProgressOpen() const
{
    return m_transferProgress.IsOpen() || m_clearProgress.IsOpen() || m_logProgress.IsOpen();
}

void CInstrumentDoc::CloseAllProgress()
{
    m_transferProgress.Close();
    m_clearProgress.Close();
    m_logProgress.Close();
}

void CInstrumentDoc::UpdateAllViews(int code, const CReplyNotice &notice)
{
    emit Updated(code, notice);
}

void CInstrumentDoc::Queue(int type, quint32 address, const QByteArray &data, int priority)
{
    m_link->QueueRequest(type, address, data, priority);
}

// ---- request operations ----

void CInstrumentDoc::ReadWords(quint32 word, int words, int priority)
{
    Queue(RecordType::ReadWords, word, CountByte(2 * words), priority);
}

void CInstrumentDoc::WriteWords(quint32 word, const QByteArray &data)
{
    Queue(RecordType::WriteWords, word, data);
}

void CInstrumentDoc::ReadRam(int address, int count)
{
    Queue(RecordType::ReadRam, quint32(address), CountByte(count));
}

void CInstrumentDoc::WriteRam(int address, const QByteArray &data)
{
    Queue(RecordType::WriteRam, quint32(address), data);
}

void CInstrumentDoc::ReadClock()
{
    Queue(RecordType::ReadTimeKeeper, 0, CountByte(CSettingsImage::ClockSize));
}

void CInstrumentDoc::WriteClock()
{
    Queue(RecordType::WriteTimeKeeper, 0, m_settings.TimeKeeperPiece(0, CSettingsImage::ClockSize));
}

void CInstrumentDoc::ReadTimeKeeperSettings()
{
    for (const auto &piece : SettingsPieces)
        Queue(RecordType::ReadTimeKeeper, quint32(piece[0]), CountByte(piece[1]));
}

void CInstrumentDoc::WriteTimeKeeperSettings()
{
    for (const auto &piece : SettingsPieces)
        Queue(RecordType::WriteTimeKeeper, quint32(piece[0]), m_settings.TimeKeeperPiece(piece[0], piece[1]));
}

void CInstrumentDoc::ReadStatusWords()
{
    ReadWords(StatusWord, 8, 1);
}

void CInstrumentDoc::WriteStatusWords()
{
    WriteWords(StatusWord, m_words.Bytes(StatusWord, 10));
}

void CInstrumentDoc::ReadConfigurationA()
{
    ReadWords(ConfigurationWordA, 8);
    ReadWords(ConfigurationWordA + 8, 8);
}

void CInstrumentDoc::WriteConfigurationA()
{
    WriteWords(ConfigurationWordA, m_words.Bytes(ConfigurationWordA, 16));
    WriteWords(ConfigurationWordA + 8, m_words.Bytes(ConfigurationWordA + 8, 16));
}

void CInstrumentDoc::ReadConfigurationB()
{
    for (int i = 0; i < ConfigurationBWords; i += 8)
        ReadWords(ConfigurationWordB + quint32(i), 8);
}

void CInstrumentDoc::WriteConfigurationB()
{
    for (int i = 0; i < ConfigurationBWords; i += 8)
        WriteWords(ConfigurationWordB + quint32(i), m_words.Bytes(ConfigurationWordB + quint32(i), 16));
}

void CInstrumentDoc::ReadRangeIndexByte()
{
    Queue(RecordType::ReadTimeKeeper, 22, CountByte(1));
}

void CInstrumentDoc::QueryProgramMode()
{
    Queue(RecordType::QueryProgramMode, 0);
}

void CInstrumentDoc::SetProgramMode(int bit)
{
    m_programMode = bit & 1;
    Queue(RecordType::SetProgramMode, quint32(bit & 1));
}

void CInstrumentDoc::EndProgramming()
{
    Queue(RecordType::EndProgramming, 0);
}

void CInstrumentDoc::StartProgramming()
{
    Queue(RecordType::StartProgramming, 0);
}

void CInstrumentDoc::EraseSector(quint32 word)
{
    emit StatusLine(QStringLiteral("Erasing sector at %1").arg(Hex(word)));
    Queue(RecordType::EraseSector, word);
}

void CInstrumentDoc::ReadLiveBlock(int k)
{
    Queue(RecordType::ReadLiveBlock0 + qBound(0, k, 3), 0);
}

void CInstrumentDoc::ResetPeaks() { Queue(RecordType::ResetPeaks, 0); }
void CInstrumentDoc::ResetStelTwa() { Queue(RecordType::ResetStelTwa, 0); }
void CInstrumentDoc::ReadLogSettings() { Queue(RecordType::ReadLogSettings, 0); }
void CInstrumentDoc::ReadLogStatus() { Queue(RecordType::ReadLogStatus, 0); }
void CInstrumentDoc::ReadAnalogA() { Queue(RecordType::ReadAnalogA, 0); }
void CInstrumentDoc::ReadAnalogB() { Queue(RecordType::ReadAnalogB, 0); }
void CInstrumentDoc::ReadMemoryPointer(int k) { Queue(RecordType::ReadMemoryPointer0 + qBound(0, k, 2), 0); }
void CInstrumentDoc::ReadBattery() { Queue(RecordType::ReadBattery, 0); }
void CInstrumentDoc::ReadPort() { Queue(RecordType::ReadPort, 0); }
void CInstrumentDoc::ReadDisplayAddress() { Queue(RecordType::ReadDisplayAddress, 0); }
void CInstrumentDoc::SendKeys(quint8 keys) { Queue(RecordType::SendKeys, 0, CountByte(keys)); }
void CInstrumentDoc::ReadToxicTableCount() { Queue(RecordType::ReadToxicTableCount, 0); }
void CInstrumentDoc::LogNext() { Queue(RecordType::LogNext, 0); }
void CInstrumentDoc::LogRepeat() { Queue(RecordType::LogRepeat, 0); }
void CInstrumentDoc::LogUploadStart() { Queue(RecordType::LogUploadStart, 0); }

void CInstrumentDoc::SendBoardTest(int type, const QByteArray &data)
{
    if (type >= RecordType::BoardTest0 && type <= RecordType::BoardTest0 + 3)
        Queue(type, 0, data);
}

void CInstrumentDoc::ReadToxicRecord(int record)
{
    for (int offset : ToxicChunkOffsets) {
        const int n = offset == 80 ? 14 : 16;
        Queue(RecordType::ReadToxicTableChunk, quint32(record * 256 + offset), CountByte(n));
    }
}

// ---- transfers ----

void CInstrumentDoc::UploadAll()
{
    MarkSettingsDue();
    QueryProgramMode();
    ReadConfigurationA();
    ReadStatusWords(); // priority: ahead of the configuration reads still waiting
    ReadConfigurationB();
    ReadToxicTableCount();
}

void CInstrumentDoc::MarkSettingsDue()
{
    m_followTimeKeeper = true;
    m_followIdEntries = true;
}

void CInstrumentDoc::ReadIdEntries()
{
    if (!m_idWanted) {
        m_idDeferred = true;
        return;
    }
    m_idDeferred = false;
    m_transferProgress.Show(QStringLiteral("Uploading"), 6 * m_settings.ToxicCount() + CSettingsImage::IdEntryCount);
    for (int i = 1; i <= CSettingsImage::IdEntryCount; ++i)
        Queue(RecordType::ReadIdEntry, quint32(i));
}

void CInstrumentDoc::SetIdEntriesWanted(bool wanted)
{
    m_idWanted = wanted;
    if (wanted && m_idDeferred)
        ReadIdEntries();
}

void CInstrumentDoc::DownloadAll()
{
    UpdateAllViews(UpdateCode::BeforeDownload);
    WriteTimeKeeperSettings();
    WriteIdEntries();
}

void CInstrumentDoc::WriteIdEntries()
{
    m_transferProgress.Show(QStringLiteral("Downloading"), CSettingsImage::IdEntryCount);
    auto write = [this](int index) { Queue(RecordType::WriteIdEntry, quint32(index), m_settings.IdEntryBytes(index)); };
    for (int n = 1; n <= CSettingsImage::OperatorCount; ++n)
        write(CSettingsImage::FirstOperatorEntry - 1 + n);
    for (int n = 1; n <= CSettingsImage::LocationCount; ++n)
        write(CSettingsImage::FirstLocationEntry - 1 + n);
    write(CSettingsImage::InstrumentIdEntry);
}

void CInstrumentDoc::PollInstrument()
{
    ReadStatusWords();
    ReadConfigurationA();
    ReadRangeIndexByte();
    ReadLogStatus();
    UpdateAllViews(UpdateCode::Poll);
}

void CInstrumentDoc::StartLogClear()
{
    m_clearProgress.Show(QStringLiteral("Clearing Log"), LogClearSteps);
    Queue(RecordType::ClearLog, 0);
}

void CInstrumentDoc::StartRecovery()
{
    emit StatusLine(QStringLiteral("Recovery"));
    m_link->Resynchronise();
}

void CInstrumentDoc::IdleCheck()
{
    if (m_link->IsIdle())
        UpdateAllViews(UpdateCode::Idle);
}

void CInstrumentDoc::ClearQueues()
{
    m_link->ClearQueues();
    CloseAllProgress();
}

// ---- options file ----

bool CInstrumentDoc::SaveOptions(const QString &path, QString *error)
{
    if (!COptionsFile::Save(*this, path, error))
        return false;
    m_optionsPath = path;
    return true;
}

bool CInstrumentDoc::LoadOptions(const QString &path, QString *error, QStringList *warnings)
{
    return COptionsFile::Load(*this, path, error, warnings);
}

// ---- replies ----

void CInstrumentDoc::OnLinkReply(int code, int type, quint32 address, int count, const quint8 *data)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), data ? count : 0);
    if (code == -1) {
        OnTimeout();
        return;
    }
    if (code == 0)
        OnRecord(type, address, bytes);
    else
        OnCharacter(code, type, address, bytes);
    AfterAnswer();
}

void CInstrumentDoc::OnRecord(int type, quint32 address, const QByteArray &data)
{
    const int count = int(data.size());
    switch (type) {
    case RecordType::WriteWords: { // log data after "!" or "?"
        CReplyNotice notice;
        notice.data = data;
        notice.count = count;
        notice.repeat = m_link->AnsweredType() == RecordType::LogRepeat;
        UpdateAllViews(UpdateCode::LogData, notice);
        break;
    }
    case RecordType::EndProgramming:
        UpdateAllViews(UpdateCode::EndProgramming, CReplyNotice::Status(0));
        break;
    case RecordType::QueryProgramMode:
        m_programMode = int(address & 1);
        UpdateAllViews(UpdateCode::ProgramMode);
        break;
    case RecordType::ReadWords:
        if (address >= quint32(CWordImage::WordCount))
            return;
        m_words.Store(address, data);
        UpdateAllViews(UpdateCode::WordBlock, CReplyNotice::At(address, count));
        break;
    case RecordType::ReadRam:
        if (address + quint32(count) > quint32(RamSize))
            return;
        m_ram.replace(qsizetype(address), count, data);
        UpdateAllViews(UpdateCode::RamBlock, CReplyNotice::At(address, count));
        break;
    case RecordType::ReadTimeKeeper: {
        if (address == 22 && count == 1) {
            // The one-byte poll: only the combustible range index is taken.
            auto &block = m_settings.TimeKeeperBytes();
            const quint8 before = block[22];
            block[22] = quint8((before & ~0x30) | (quint8(data[0]) & 0x30));
            UpdateAllViews(UpdateCode::RangeIndex, CReplyNotice::At(address, count));
            if ((before ^ block[22]) & 0x30)
                UploadAll();
            break;
        }
        if (address + quint32(count) > quint32(CSettingsImage::TimeKeeperSize))
            return;
        m_settings.StoreTimeKeeper(int(address), data);
        if (address == 0)
            UpdateAllViews(UpdateCode::Clock, CReplyNotice::At(address, count));
        if (address + quint32(count) == quint32(CSettingsImage::TimeKeeperSize))
            UpdateAllViews(UpdateCode::Settings, CReplyNotice::At(0, count));
        break;
    }
    case RecordType::ReadIdEntry:
        if (address < 1 || address > quint32(CSettingsImage::IdEntryCount))
            return;
        StoreIdEntry(int(address), data);
        m_transferProgress.MarkStep(6 * m_settings.ToxicCount() + int(address) - 1);
        break;
    case RecordType::ReadLiveBlock0:
    case RecordType::ReadLiveBlock0 + 1:
    case RecordType::ReadLiveBlock0 + 2:
    case RecordType::ReadLiveBlock0 + 3:
        m_live[size_t(type - RecordType::ReadLiveBlock0)] = data.left(8).leftJustified(8, '\0');
        UpdateAllViews(type);
        break;
    case RecordType::ReadAnalogA:
    case RecordType::ReadAnalogB:
        m_analog[type == RecordType::ReadAnalogA ? 0 : 1] = data.left(10).leftJustified(10, '\0');
        UpdateAllViews(type);
        break;
    case RecordType::ReadMemoryPointer0:
    case RecordType::ReadMemoryPointer0 + 1:
    case RecordType::ReadMemoryPointer0 + 2:
        m_pointers[size_t(type - RecordType::ReadMemoryPointer0)] = Word16(data, 0);
        UpdateAllViews(type);
        break;
    case RecordType::ReadBattery:
        m_batteryByte = count > 0 ? quint8(data[0]) : 0;
        m_batteryWord = Word16(data, 1);
        UpdateAllViews(type);
        break;
    case RecordType::ReadPort:
        m_port = count > 0 ? quint8(data[0]) : 0;
        UpdateAllViews(type);
        break;
    case RecordType::ReadDisplayAddress:
        m_displayAddress = address;
        UpdateAllViews(type);
        break;
    case RecordType::ReadLogSettings:
        m_logWord = Word16(data, 0);
        m_logBit0 = count > 2 && (quint8(data[2]) & 1);
        m_logBit1 = count > 2 && (quint8(data[2]) & 2);
        UpdateAllViews(type);
        break;
    case RecordType::ReadLogStatus: {
        const QByteArray b = data.leftJustified(7, '\0');
        m_logStart = CSettingsCodec::DecodeBcdDateTime(quint8(b[0]), quint8(b[1]), quint8(b[2]),
                                                       quint8(b[3]), quint8(b[4]), quint8(b[5]));
        const int remaining = quint8(b[6]);
        m_logClearing = remaining != 0;
        if (m_logClearing) {
            if (!m_clearProgress.IsOpen())
                m_clearProgress.Show(QStringLiteral("Clearing Log"), LogClearSteps);
            for (int i = 0; i < LogClearSteps - remaining; ++i)
                m_clearProgress.MarkStep(i);
            ReadLogStatus();
        } else {
            m_clearProgress.Close();
        }
        UpdateAllViews(UpdateCode::LogStatus);
        break;
    }
    case RecordType::ReadToxicTableChunk: {
        const int record = int(address / 256);
        const int offset = int(address & 0xFF);
        m_transferProgress.MarkStep(6 * record + ((offset / 16) & 15));
        if (record >= m_settings.ToxicCount())
            return;
        m_settings.StoreToxicChunk(record, offset, data);
        if ((offset + count) % CToxicRecord::Size == 0)
            UpdateAllViews(UpdateCode::ToxicRecord, CReplyNotice::At(address, count));
        break;
    }
    case RecordType::ReadToxicTableCount: {
        const int records = count > 0 ? quint8(data[0]) : 0;
        m_settings.SetToxicCount(records);
        for (int r = 0; r < records; ++r)
            ReadToxicRecord(r);
        if (m_followTimeKeeper) {
            m_followTimeKeeper = false;
            ReadTimeKeeperSettings();
        }
        if (m_followIdEntries) {
            m_followIdEntries = false;
            ReadIdEntries();
        }
        UpdateAllViews(UpdateCode::ToxicCount);
        break;
    }
    case RecordType::BoardTest0:
    case RecordType::BoardTest0 + 2:
    case RecordType::BoardTest0 + 3: {
        CReplyNotice notice;
        notice.data = data;
        notice.count = count;
        UpdateAllViews(type, notice);
        break;
    }
    case RecordType::BoardTest0 + 1: {
        CReplyNotice notice = CReplyNotice::Status(count > 0 ? quint8(data[0]) : 0, count);
        notice.data = data;
        UpdateAllViews(type, notice);
        break;
    }
    default:
        break;
    }
}

void CInstrumentDoc::OnCharacter(int code, int type, quint32 address, const QByteArray &data)
{
    const int count = int(data.size());
    if (code == '#') {
        switch (type) {
        case RecordType::WriteWords:
            emit StatusLine(QStringLiteral("Programming %1").arg(Hex(address)));
            m_words.Store(address, data);
            UpdateAllViews(UpdateCode::LogData, CReplyNotice::Status(-1, count));
            break;
        case RecordType::EndProgramming:
            emit StatusLine(QStringLiteral("Programming Done"));
            UpdateAllViews(UpdateCode::EndProgramming, CReplyNotice::Status(-1));
            break;
        case RecordType::SetProgramMode:
            if (address == RecordType::RecoveryMarkerAddress)
                emit StatusLine(QStringLiteral("Recovery Done"));
            m_programMode = int(address & 1);
            UpdateAllViews(UpdateCode::SetProgramMode);
            break;
        case RecordType::EraseSector:
            m_words.BlankSector(address);
            emit StatusLine(QStringLiteral("Erasing sector at %1 done").arg(Hex(address)));
            UpdateAllViews(UpdateCode::EraseSector, CReplyNotice::At(address, count));
            break;
        case RecordType::WriteRam:
            UpdateAllViews(UpdateCode::RamWritten, CReplyNotice::At(address, count));
            break;
        case RecordType::WriteTimeKeeper:
            UpdateAllViews(UpdateCode::TimeKeeperWritten, CReplyNotice::At(address, count));
            break;
        case RecordType::WriteIdEntry:
            if (address < 1 || address > quint32(CSettingsImage::IdEntryCount))
                break;
            m_transferProgress.MarkStep(int(address) - 1);
            StoreIdEntry(int(address), data);
            break;
        default:
            break;
        }
    } else if ((code == '$' || code == '%') && type == RecordType::WriteWords) {
        UpdateAllViews(UpdateCode::LogData, CReplyNotice::Status(-2, count));
    } else if ((code == '$' || code == '%') && type == RecordType::SetProgramMode) {
        // Refused: the mode bit stays as it was, and whoever waits for the
        // acknowledgement hears that none will come.
        UpdateAllViews(UpdateCode::SetProgramMode, CReplyNotice::Status(-2));
    } else if (code == '*') {
        m_link->ClearQueues();
    } else if (code == 'Z') {
        UpdateAllViews(UpdateCode::LogUploadStart);
    }
}

void CInstrumentDoc::StoreIdEntry(int index, const QByteArray &text)
{
    m_settings.StoreIdEntry(index, text);
    UpdateAllViews(UpdateCode::IdEntry, CReplyNotice::At(index, int(text.size())));
    if (index == CSettingsImage::InstrumentIdEntry) {
        m_title = m_settings.InstrumentId();
        emit TitleChanged(m_title);
    }
}

void CInstrumentDoc::AfterAnswer()
{
    m_timeoutsInRow = 0;
    if (!m_notice.IsOpen())
        return;
    m_notice.Close();
    m_reconnectFlag = true;
    UpdateAllViews(UpdateCode::Reconnected);
    if (m_reconnectFlag && m_prompt && !m_askPending) {
        // Asked outside the reply handling, so a modal dialog never sits
        // inside the link's bookkeeping.
        m_askPending = true;
        QTimer::singleShot(0, this, &CInstrumentDoc::AskReconnect);
    }
}

void CInstrumentDoc::AskReconnect()
{
    m_askPending = false;
    if (m_prompt && m_prompt->AskOkCancel(QStringLiteral("Serial Connection"),
                                          QStringLiteral("Connection established.\nUse the button to upload data from the instrument.")))
        UploadAll();
}

void CInstrumentDoc::OnTimeout()
{
    if (++m_timeoutsInRow >= TimeoutsBeforeNotice) {
        m_link->ClearQueues();
        CloseAllProgress();
        m_timeoutsInRow = 0;
        m_errorFlag = true;
        UpdateAllViews(UpdateCode::CommunicationsLost);
        if (m_errorFlag)
            m_notice.ShowNotice(QStringLiteral("Communications Error"), QStringLiteral("Check connections"),
                                CNoticeWindow::IdCancel);
    }
    ReadStatusWords();
    UpdateAllViews(UpdateCode::Timeout);
}
