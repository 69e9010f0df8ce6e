// The simulated instrument's memories and its answers to link requests.
#include "SimInstrument.h"

#include "SimDefaults.h"
#include "SimDisplay.h"
#include "SimFlash.h"
#include "link/LinkRecord.h"
#include "link/RecordTypes.h"

#include <QtMath>

namespace {
quint8 ToBcd(int value)
{
    return quint8(((value / 10) % 10) << 4 | (value % 10));
}

int FromBcd(quint8 b)
{
    return (b >> 4) * 10 + (b & 0x0F);
}

void PutWord(QByteArray &bytes, int offset, quint16 value)
{
    bytes[offset] = char(value & 0xFF);
    bytes[offset + 1] = char(value >> 8);
}

quint16 GetWord(const QByteArray &bytes, int offset)
{
    return quint16(quint8(bytes[offset]) | (quint8(bytes[offset + 1]) << 8));
}

// RAM bytes of the selected range's calibration DAC word.
constexpr int CalDacRam = 190;

// Sensor bits of TimeKeeper byte 61.
constexpr int SensorHc = 0, SensorO2 = 1, SensorToxic1 = 2, SensorToxic2 = 3;
} // namespace

CSimInstrument::CSimInstrument(TimeSource now, quint32 seed)
    : m_now(std::move(now)),
      m_timeKeeper(SimDefaults::TimeKeeper()),
      m_ram(SimDefaults::Ram()),
      m_words(SimDefaults::WordMemory()),
      m_ids(SimDefaults::IdEntries()),
      m_toxic(SimDefaults::ToxicTable()),
      m_sensors(seed)
{
    UpdateConfigurationChecksum();
    m_sensors.Start(Now());

    CSimDataLog::Demo demo;
    demo.instrumentId = IdEntry(81);
    demo.operatorId = IdEntry(1 + 64 + (TimeKeeperByte(62) & 0x0F));
    demo.locationId = IdEntry(1 + (TimeKeeperByte(63) & 0x3F));
    const QByteArray gas = ToxicRecord(ToxicGas(0));
    demo.toxic1Name = QByteArray() + gas[1] + gas[0] + gas[3];
    demo.intervalSeconds = LogIntervalSeconds();
    demo.logStel = TimeKeeperByte(63) & 0x40;
    demo.logTwa = TimeKeeperByte(63) & 0x80;
    demo.toxic1Warning = SettingsWord(54) & 0x3FF;
    m_log.BuildDemo(Clock(), demo);
    m_words[SimMap::CurrentLogSector + 1] = 0xFFFF;
    DrawDisplay();
}

QDateTime CSimInstrument::Now() const
{
    return m_now ? m_now() : QDateTime::currentDateTime();
}

void CSimInstrument::SetTimeSource(TimeSource now)
{
    m_now = std::move(now);
    m_sensors.Start(Now());
}

// ---------------------------------------------------------------------------
// Requests

QByteArray CSimInstrument::Handle(const QByteArray &request)
{
    if (request.size() == 1)
        return HandleCharacter(request[0]);

    // A record is taken only when every character after the colon is a hex
    // digit, its length matches its count and its checksum is right.
    const char *text = request.constData();
    const int size = int(request.size());
    if (size < LinkRecord::RecordLength(0) || text[0] != ':')
        return Character(Unreadable);
    for (int i = 1; i < size; ++i) {
        if (!LinkRecord::IsHexDigit(text[i]))
            return Character(Unreadable);
    }
    const int count = LinkRecord::RecordCount(text);
    if (size != LinkRecord::RecordLength(count))
        return Character(Unreadable);
    const LinkReply record = LinkRecord::DecodeRecord(text, size);
    const unsigned checksum = LinkRecord::ScanHex(text + size - 2, 2);
    if (checksum != LinkRecord::Checksum(record.type, unsigned(record.address), record.data))
        return Character(Unreadable);
    return HandleRecord(record.type, unsigned(record.address), record.data);
}

QByteArray CSimInstrument::HandleCharacter(char c)
{
    switch (c) {
    case '!':
        return m_log.Next();
    case '?':
        return m_log.Repeat();
    case 'Z':
        return m_log.StartUpload();
    default:
        return Character(Unreadable);
    }
}

QByteArray CSimInstrument::Reply(int type, unsigned address, const QByteArray &data) const
{
    return LinkRecord::Format(type, address, data);
}

QByteArray CSimInstrument::HandleRecord(int type, unsigned address, const QByteArray &data)
{
    using namespace RecordType;
    const int n = int(data.size());
    const int count = n == 1 ? quint8(data[0]) : -1; // the "how many bytes" of a read

    if (RecordType::IsWordRequest(type))
        return HandleWordRequest(type, address, data);

    switch (type) {
    case EndProgramming:
    case StartProgramming:
    case ResetPeaks:
    case ResetStelTwa:
    case ClearLog:
        if (type == ResetPeaks) {
            Advance();
            m_sensors.ResetPeaks();
        } else if (type == ResetStelTwa) {
            Advance();
            m_sensors.ResetStelTwa();
        } else if (type == ClearLog) {
            m_log.StartClear(Now());
        } else if (type == StartProgramming) {
            CSimFlash::EraseProgramArea(m_words); // the boot loader takes over
        }
        return Character(Done);

    case SelectBank:
        if (n != 2 || quint8(data[1]) >= SimMap::BankCount)
            return Character(Refused);
        m_bank = quint8(data[1]);
        return Character(Done);

    case QueryProgramMode:
        return Reply(QueryProgramMode, m_programMode ? 1 : 0, {});

    case SetProgramMode:
        // Also the recovery marker (wire address 0001): it leaves the
        // instrument in program mode, ready for a download.
        if (m_testBox.RefusesProgramMode(address & 1))
            return Character(Refused);
        m_programMode = address & 1;
        DrawDisplay();
        return Character(Done);

    case ReadRam:
        if (count < 0 || address + unsigned(count) > unsigned(SimMap::RamSize))
            return Character(Refused);
        Advance();
        m_testBox.BeforeRamRead(m_ram);
        return Reply(ReadRam, address, m_ram.mid(int(address), count));

    case WriteRam:
        if (n == 0 || address + unsigned(n) > unsigned(SimMap::RamSize))
            return Character(Refused);
        SetRam(int(address), data);
        m_testBox.AfterRamWrite(m_ram, int(address), n);
        return Character(Done);

    case ReadTimeKeeper:
        if (count < 0 || address + unsigned(count) > unsigned(SimMap::TimeKeeperSize))
            return Character(Refused);
        return Reply(ReadTimeKeeper, address, TimeKeeper().mid(int(address), count));

    case WriteTimeKeeper:
        if (n == 0 || address + unsigned(n) > unsigned(SimMap::TimeKeeperSize))
            return Character(Refused);
        SetTimeKeeper(int(address), data);
        m_testBox.AfterTimeKeeperWrite(m_timeKeeper, int(address), n);
        return Character(Done);

    case ReadIdEntry:
        if (n != 0 || address < 1 || address > unsigned(SimMap::IdEntryCount))
            return Character(Refused);
        return Reply(ReadIdEntry, address, IdEntry(int(address)));

    case WriteIdEntry:
        if (n != SimMap::IdEntryLength || address < 1 || address > unsigned(SimMap::IdEntryCount))
            return Character(Refused);
        SetIdEntry(int(address), data);
        return Character(Done);

    case ReadLogSettings:
        return Reply(type, 0, m_log.SettingsBytes(Now(), LogIntervalSeconds(), TimeKeeperByte(62) & 0x80));
    case ReadLogStatus:
        return Reply(type, 0, m_log.StatusBytes(Now()));
    case ReadAnalogA:
        return Reply(type, 0, AnalogA());
    case ReadAnalogB:
        return Reply(type, 0, AnalogB());
    case ReadBattery:
        return Reply(type, 0, Battery());
    case ReadPort:
        return Reply(type, 0, QByteArray(1, char(Port())));
    case ReadDisplayAddress:
        return Reply(type, SimMap::DisplayAddress, {});

    case SendKeys:
        if (n != 1)
            return Character(Refused);
        PressKeys(quint8(data[0]));
        return Character(Done);

    case ReadToxicTableChunk: {
        const int record = int(address >> 8);
        const int offset = int(address & 0xFF);
        if (count < 0 || record >= ToxicCount() || offset + count > SimMap::ToxicRecordSize)
            return Character(Refused);
        return Reply(type, address, m_toxic[record].mid(offset, count));
    }
    case ReadToxicTableCount:
        return Reply(type, 0, QByteArray(1, char(ToxicCount())));

    default:
        break;
    }

    if (type >= ReadLiveBlock0 && type <= ReadLiveBlock0 + 3)
        return Reply(type, 0, LiveBlock(type - ReadLiveBlock0));
    if (type >= ReadMemoryPointer0 && type <= ReadMemoryPointer0 + 2) {
        quint16 pointer = m_stelPointer;
        if (type == ReadMemoryPointer0 + 1)
            pointer = m_twaPointer;
        else if (type == ReadMemoryPointer0 + 2)
            pointer = quint16(1 + (m_log.UsedBytes() + 1) / 2); // words after the marker
        QByteArray b(2, '\0');
        PutWord(b, 0, pointer);
        return Reply(type, 0, b);
    }
    if (type >= BoardTest0 && type <= BoardTest0 + 3) {
        // The board-test firmware and the test box (SimTestBox.h).
        m_boardTest[type - BoardTest0] = data;
        const QByteArray reply = m_testBox.Handle(type, data);
        return reply.isEmpty() ? Character(Refused) : Reply(type, 0, reply);
    }
    return Character(Unreadable);
}

QByteArray CSimInstrument::HandleWordRequest(int type, unsigned address, const QByteArray &data)
{
    if (m_bank < 0)
        return Character(NoBank);
    // The wire address is a byte offset inside the selected 64 KB bank.
    const quint32 byteAddress = quint32(m_bank) * SimMap::WordsPerBank * 2 + address;
    const quint32 word = byteAddress / 2;
    const int n = int(data.size());

    if (type == RecordType::ReadWords) {
        if (n != 1)
            return Character(Refused);
        const unsigned count = quint8(data[0]);
        if (address + count > 0x10000u)
            return Character(Refused);
        QByteArray bytes;
        bytes.reserve(int(count));
        for (unsigned i = 0; i < count; ++i) {
            const quint32 b = byteAddress + i;
            const quint16 w = m_words[b / 2];
            bytes.append(char((b & 1) ? (w >> 8) : (w & 0xFF)));
        }
        return Reply(RecordType::ReadWords, address, bytes);
    }

    if (type == RecordType::WriteWords) {
        if (n == 0 || (n & 1) || (address & 1) || address + unsigned(n) > 0x10000u || word < SimMap::BootAreaEnd)
            return Character(Refused);
        // Flash cells only clear bits: a block that needs an erase first is refused whole.
        if (!CSimFlash::Program(m_words, word, data))
            return Character(Refused);
        return Character(Done);
    }

    // EraseSector
    const int sector = SectorOf(word);
    if (sector < 0 || m_testBox.RefusesErase(sector))
        return Character(Refused);
    EraseSector(sector);
    return Character(Done);
}

QByteArray CSimInstrument::PowerCycle()
{
    m_bank = -1;
    m_programMode = false;
    m_keys = 0;
    m_display.Reset();
    PressKeys(0);
    Advance();
    m_sensors.ResetPeaks();
    m_sensors.ResetStelTwa();
    DrawDisplay();
    return Character(PowerOnAnnouncement);
}

// ---------------------------------------------------------------------------
// TimeKeeper

QDateTime CSimInstrument::Clock() const
{
    return Now().addSecs(m_clockOffset);
}

void CSimInstrument::SetClock(const QDateTime &when)
{
    m_clockOffset = Now().secsTo(when);
}

QByteArray CSimInstrument::ClockBytes() const
{
    const QDateTime c = Clock();
    QByteArray b(SimMap::ClockBytes, '\0');
    // The oscillator bit of the seconds and the two top bits of the hours
    // keep whatever was written to them.
    b[0] = char(ToBcd(c.time().second()) | (quint8(m_timeKeeper[0]) & 0x80));
    b[1] = char(ToBcd(c.time().minute()));
    b[2] = char(ToBcd(c.time().hour()) | (quint8(m_timeKeeper[2]) & 0xC0));
    b[3] = char(c.date().dayOfWeek()); // 1 Monday .. 7 Sunday
    b[4] = char(ToBcd(c.date().day()));
    b[5] = char(ToBcd(c.date().month()));
    b[6] = char(ToBcd(c.date().year() % 100));
    return b;
}

QByteArray CSimInstrument::TimeKeeper() const
{
    QByteArray tk = m_timeKeeper;
    tk.replace(0, SimMap::ClockBytes, ClockBytes());
    return tk;
}

quint8 CSimInstrument::TimeKeeperByte(int offset) const
{
    if (offset < 0 || offset >= SimMap::TimeKeeperSize)
        return 0;
    if (offset < SimMap::ClockBytes)
        return quint8(ClockBytes()[offset]);
    return quint8(m_timeKeeper[offset]);
}

void CSimInstrument::SetTimeKeeper(int offset, const QByteArray &bytes)
{
    if (offset < 0 || offset >= SimMap::TimeKeeperSize)
        return;
    const int n = qMin(int(bytes.size()), SimMap::TimeKeeperSize - offset);
    if (offset < SimMap::ClockBytes) {
        QByteArray regs = ClockBytes();
        for (int i = 0; i < n && offset + i < SimMap::ClockBytes; ++i)
            regs[offset + i] = bytes[i];
        m_timeKeeper[0] = char(quint8(regs[0]) & 0x80);
        m_timeKeeper[2] = char(quint8(regs[2]) & 0xC0);
        // Registers out of range count as the lowest legal value, as the
        // chip rolls them over at the next tick.
        const int yy = FromBcd(quint8(regs[6]));
        int year = yy >= 70 && yy <= 99 ? 1900 + yy : 2000 + yy;
        int month = FromBcd(quint8(regs[5]));
        int day = FromBcd(quint8(regs[4]));
        int hour = FromBcd(quint8(regs[2]) & 0x3F);
        int minute = FromBcd(quint8(regs[1]));
        int second = FromBcd(quint8(regs[0]) & 0x7F);
        if (month < 1 || month > 12)
            month = 1;
        const int days = QDate(year, month, 1).daysInMonth();
        if (day < 1)
            day = 1;
        day = qMin(day, days);
        if (hour > 23)
            hour = 0;
        if (minute > 59)
            minute = 0;
        if (second > 59)
            second = 0;
        SetClock(QDateTime(QDate(year, month, day), QTime(hour, minute, second)));
    }
    for (int i = 0; i < n; ++i) {
        if (offset + i >= SimMap::ClockBytes)
            m_timeKeeper[offset + i] = bytes[i];
    }
}

quint16 CSimInstrument::SettingsWord(int offset) const
{
    return GetWord(m_timeKeeper, offset);
}

int CSimInstrument::HcRange() const
{
    return (SettingsWord(22) >> 4) & 3;
}

int CSimInstrument::ToxicGas(int toxic) const
{
    const quint8 b = TimeKeeperByte(60);
    const int index = toxic == 0 ? (b & 0x0F) : (b >> 4);
    return index < ToxicCount() ? index : 0;
}

double CSimInstrument::ToxicFraction(int toxic) const
{
    const QByteArray r = ToxicRecord(ToxicGas(toxic));
    const quint16 f = r.size() >= 64 ? GetWord(r, 62) : 1;
    return f == 0 ? 0.1 : double(f);
}

int CSimInstrument::LogIntervalSeconds() const
{
    static const int Seconds[8] = {60, 5, 15, 30, 60, 90, 300, 900};
    return Seconds[(TimeKeeperByte(62) >> 4) & 7];
}

bool CSimInstrument::Fitted(int sensor) const
{
    return TimeKeeperByte(61) & (1 << sensor);
}

// ---------------------------------------------------------------------------
// RAM

QByteArray CSimInstrument::Ram(int address, int count) const
{
    if (address < 0 || count < 0 || address + count > SimMap::RamSize)
        return {};
    return m_ram.mid(address, count);
}

void CSimInstrument::SetRam(int address, const QByteArray &bytes)
{
    if (address < 0 || address + bytes.size() > SimMap::RamSize)
        return;
    m_ram.replace(address, bytes.size(), bytes);
}

void CSimInstrument::PressKeys(quint8 keys)
{
    // Bit 0 On/Off, bit 1 Up, bit 2 Down. The port pins read low while a
    // button is held.
    m_keys = keys & 0x07;
    m_display.Buttons(m_keys);
    quint8 a = quint8(m_ram[SimMap::PortAData]);
    quint8 b = quint8(m_ram[SimMap::PortBData]);
    a = (m_keys & 1) ? (a & ~0x01) : (a | 0x01);
    b = (m_keys & 2) ? (b & ~0x40) : (b | 0x40);
    b = (m_keys & 4) ? (b & ~0x80) : (b | 0x80);
    m_ram[SimMap::PortAData] = char(a);
    m_ram[SimMap::PortBData] = char(b);
}

quint8 CSimInstrument::Port() const
{
    return m_keys;
}

QByteArray CSimInstrument::BoardTestReply(int type) const
{
    const int k = type - RecordType::BoardTest0;
    return k >= 0 && k < 4 ? m_boardTest[k] : QByteArray();
}

// ---------------------------------------------------------------------------
// Word memory

quint16 CSimInstrument::Word(quint32 word) const
{
    return word < SimMap::WordCount ? m_words[word] : 0xFFFF;
}

void CSimInstrument::SetWord(quint32 word, quint16 value)
{
    if (word < SimMap::WordCount)
        m_words[word] = value;
}

QByteArray CSimInstrument::WordBytes(quint32 word, int byteCount) const
{
    QByteArray bytes;
    for (int i = 0; i < byteCount; i += 2) {
        const quint16 w = Word(word + quint32(i / 2));
        bytes.append(char(w & 0xFF));
        if (i + 1 < byteCount)
            bytes.append(char(w >> 8));
    }
    return bytes;
}

void CSimInstrument::SetWordBytes(quint32 word, const QByteArray &bytes)
{
    for (int i = 0; i < bytes.size(); ++i) {
        const quint32 w = word + quint32(i / 2);
        if (w >= SimMap::WordCount)
            break;
        if (i & 1)
            m_words[w] = quint16((m_words[w] & 0x00FF) | (quint8(bytes[i]) << 8));
        else
            m_words[w] = quint16((m_words[w] & 0xFF00) | quint8(bytes[i]));
    }
}

int CSimInstrument::SectorOf(quint32 word)
{
    for (int s = 0; s < SimMap::SectorCount; ++s) {
        if (word >= SimMap::SectorBounds[size_t(s)] && word < SimMap::SectorBounds[size_t(s) + 1])
            return s;
    }
    return -1;
}

void CSimInstrument::EraseSector(int sector)
{
    if (sector < 0 || sector >= SimMap::SectorCount)
        return;
    std::fill(m_words.begin() + SimMap::SectorBounds[size_t(sector)],
              m_words.begin() + SimMap::SectorBounds[size_t(sector) + 1], quint16(0xFFFF));
}

quint16 CSimInstrument::ConfigurationChecksum() const
{
    // The programming run computes the checksum while its image of the word
    // still reads erased (0xFFFF): 0xC0DD minus every word, that one
    // included, which is the same as making the whole sector add up to 0xC0DE.
    quint32 sum = 0;
    for (quint32 w = SimMap::ConfigSectorStart; w < SimMap::ConfigSectorEnd; ++w) {
        if (w != SimMap::ChecksumWord)
            sum += m_words[w];
    }
    return quint16(SimMap::ConfigurationSum - sum);
}

bool CSimInstrument::IsConfigurationValid() const
{
    quint32 sum = 0;
    for (quint32 w = SimMap::ConfigSectorStart; w < SimMap::ConfigSectorEnd; ++w)
        sum += m_words[w];
    return quint16(sum) == SimMap::ConfigurationSum;
}

void CSimInstrument::UpdateConfigurationChecksum()
{
    m_words[SimMap::ChecksumWord] = ConfigurationChecksum();
}

QByteArray CSimInstrument::ConfigurationText() const
{
    QByteArray text = WordBytes(SimMap::ConfigTextWord, SimMap::ConfigTextBytes);
    const int end = int(text.indexOf('\0'));
    return end < 0 ? text : text.left(end);
}

void CSimInstrument::SetConfigurationText(const QByteArray &text)
{
    QByteArray t = text.left(SimMap::ConfigTextBytes - 1);
    t.append(QByteArray(SimMap::ConfigTextBytes - t.size(), '\0'));
    SetWordBytes(SimMap::ConfigTextWord, t);
    UpdateConfigurationChecksum();
}

quint32 CSimInstrument::SerialNumber() const
{
    return Word(SimMap::SerialWord) | (quint32(Word(SimMap::SerialWord + 1)) << 16);
}

void CSimInstrument::SetSerialNumber(quint32 serial)
{
    SetWord(SimMap::SerialWord, quint16(serial & 0xFFFF));
    SetWord(SimMap::SerialWord + 1, quint16(serial >> 16));
    UpdateConfigurationChecksum();
}

QDateTime CSimInstrument::ProgrammingDate() const
{
    const quint32 seconds = Word(SimMap::DateWord) | (quint32(Word(SimMap::DateWord + 1)) << 16);
    return QDateTime::fromSecsSinceEpoch(qint64(seconds), Qt::UTC);
}

void CSimInstrument::SetProgrammingDate(const QDateTime &when)
{
    const quint32 seconds = quint32(when.toSecsSinceEpoch());
    SetWord(SimMap::DateWord, quint16(seconds & 0xFFFF));
    SetWord(SimMap::DateWord + 1, quint16(seconds >> 16));
    UpdateConfigurationChecksum();
}

QByteArray CSimInstrument::Version() const
{
    // Each word holds its two characters the other way round.
    const QByteArray b = WordBytes(SimMap::VersionWord, 4);
    return QByteArray() + b[1] + b[0] + b[3] + b[2];
}

void CSimInstrument::SetVersion(const QByteArray &fourCharacters)
{
    const QByteArray v = fourCharacters.leftJustified(4, ' ', true);
    SetWordBytes(SimMap::VersionWord, QByteArray() + v[1] + v[0] + v[3] + v[2]);
    UpdateConfigurationChecksum();
}

QByteArray CSimInstrument::RangeRecord(int range) const
{
    if (range < 0 || range >= SimMap::RangeCount)
        range = 0;
    return WordBytes(SimMap::RangeTableWord + quint32(range * SimMap::RangeRecordBytes / 2), SimMap::RangeRecordBytes);
}

// ---------------------------------------------------------------------------
// ID entries and toxic table

QByteArray CSimInstrument::IdEntry(int index) const
{
    if (index < 1 || index > m_ids.size())
        return {};
    return m_ids[index - 1];
}

void CSimInstrument::SetIdEntry(int index, const QByteArray &text)
{
    if (index >= 1 && index <= m_ids.size())
        m_ids[index - 1] = SimDefaults::IdText(text);
}

QByteArray CSimInstrument::ToxicRecord(int index) const
{
    if (index < 0 || index >= m_toxic.size())
        return {};
    return m_toxic[index];
}

void CSimInstrument::SetToxicRecord(int index, const QByteArray &record)
{
    if (index < 0 || index >= m_toxic.size())
        return;
    QByteArray r = record.left(SimMap::ToxicRecordSize);
    r.append(QByteArray(SimMap::ToxicRecordSize - r.size(), '\0'));
    m_toxic[index] = r;
}

void CSimInstrument::SetToxicTable(const QList<QByteArray> &records)
{
    // The count goes on the line as one byte.
    m_toxic.clear();
    for (const QByteArray &r : records.mid(0, 255)) {
        m_toxic.append(QByteArray(SimMap::ToxicRecordSize, '\0'));
        SetToxicRecord(int(m_toxic.size()) - 1, r);
    }
}

// ---------------------------------------------------------------------------
// Live values

void CSimInstrument::Advance()
{
    for (int t = 0; t < 2; ++t) {
        const QByteArray r = ToxicRecord(ToxicGas(t));
        if (r.size() >= 80)
            m_sensors.SetToxicScale(t, GetWord(r, 78) / ToxicFraction(t));
    }
    m_sensors.Advance(Now());
    DrawDisplay();
}

quint16 CSimInstrument::HcRaw(double lel) const
{
    const QByteArray range = RangeRecord(HcRange());
    const int unit = quint8(range[7]);
    const double scale = GetWord(range, 14) < 75 ? 10.0 : 1.0;
    double shown = lel; // %LEL
    if (unit == 4)
        shown = lel * 500.0 / 10.0; // PPM of methane, kept in tens
    else if (unit == 2 || unit == 8 || unit == 16 || unit == 32)
        shown = lel * 0.05; // percent by volume
    return quint16(qBound(0.0, qRound(shown * scale) * 1.0, double(0x3FFF)));
}

quint16 CSimInstrument::ToxicRaw(int toxic, double value) const
{
    return quint16(qBound(0.0, qRound(value * ToxicFraction(toxic)) * 1.0, 65535.0));
}

QByteArray CSimInstrument::LiveBlock(int block)
{
    Advance();
    QByteArray b(8, '\0');
    if (block < 0 || block > 3)
        return b;
    const CSimSensors &s = m_sensors;
    quint16 v[4] = {};
    if (block <= 1) {
        auto value = [&](int ch) { return block == 0 ? s.Value(ch) : s.Peak(ch); };
        v[0] = Fitted(SensorHc) ? HcRaw(value(CSimSensors::HC)) : 0;
        v[1] = Fitted(SensorO2) ? quint16(qRound(value(CSimSensors::O2) * 10.0)) : 0;
        v[2] = Fitted(SensorToxic1) ? ToxicRaw(0, value(CSimSensors::Toxic1)) : 0;
        v[3] = Fitted(SensorToxic2) ? ToxicRaw(1, value(CSimSensors::Toxic2)) : 0;
    } else {
        auto average = [&](int t) { return block == 2 ? s.Stel(t) : s.Twa(t); };
        v[2] = Fitted(SensorToxic1) ? ToxicRaw(0, average(0)) : 0;
        v[3] = Fitted(SensorToxic2) ? ToxicRaw(1, average(1)) : 0;
    }
    for (int i = 0; i < 4; ++i)
        PutWord(b, 2 * i, v[i]);
    return b;
}

quint16 CSimInstrument::AnalogRaw(double volts) const
{
    // 16-bit converter over 0..5 V.
    return quint16(qBound(0.0, volts * 65536.0 / 5.0, 65535.0));
}

QByteArray CSimInstrument::AnalogA()
{
    Advance();
    const CSimSensors &s = m_sensors;
    // Channels 0, 1, 8, 9, 10: Toxic 1, Toxic 2, O2, TC, HC bridge outputs.
    auto toxicVolts = [&](int t, int sensor) {
        if (!Fitted(sensor))
            return 0.02;
        const double warning = qMax(0.01, GetWord(ToxicRecord(ToxicGas(t)), 78) / ToxicFraction(t));
        return 0.60 + 0.8 * s.Value(CSimSensors::Toxic1 + t) / warning;
    };
    const double lel = s.Value(CSimSensors::HC);
    const quint16 raw[5] = {
        AnalogRaw(toxicVolts(0, SensorToxic1)),
        AnalogRaw(toxicVolts(1, SensorToxic2)),
        AnalogRaw(Fitted(SensorO2) ? s.Value(CSimSensors::O2) * 0.0766 : 0.01),
        AnalogRaw(0.80 + lel * 0.002),
        AnalogRaw(0.45 + lel * 0.012),
    };
    QByteArray b(10, '\0');
    for (int i = 0; i < 5; ++i)
        PutWord(b, 2 * i, raw[i]);
    return b;
}

QByteArray CSimInstrument::AnalogB()
{
    Advance();
    const CSimSensors &s = m_sensors;
    // Channels 2, 3, 4, 5, 11: temperature (10 mV/C above 500 mV, read through
    // a divider of 250), battery (halved), the two toxic presence lines, spare.
    const double temperatureMv = 500.0 + 10.0 * s.TemperatureC();
    const quint16 raw[5] = {
        AnalogRaw(temperatureMv / 250.0),
        AnalogRaw(s.BatteryVolts() / 2.0),
        AnalogRaw(Fitted(SensorToxic2) ? 2.5 : 0.05),
        AnalogRaw(Fitted(SensorToxic1) ? 2.5 : 0.05),
        0,
    };
    QByteArray b(10, '\0');
    for (int i = 0; i < 5; ++i)
        PutWord(b, 2 * i, raw[i]);
    return b;
}

QByteArray CSimInstrument::Battery()
{
    Advance();
    QByteArray b(3, '\0');
    b[0] = char(m_sensors.BatteryBars());
    PutWord(b, 1, quint16(qBound(0.0, m_sensors.BatteryVolts() * 65536.0 / 10.0, 65535.0)));
    return b;
}

void CSimInstrument::DrawDisplay()
{
    m_ram.replace(SimMap::DisplayAddress, SimMap::DisplayBytes, m_display.Draw(*this));
    // The firmware keeps the selected range's calibration DAC setting (12
    // bits, split over the range's high and warning alarm words) at RAM
    // 190-191, low byte first.
    const int r = HcRange();
    const int calDac = ((SettingsWord(30 + 2 * r) >> 10) & 0x3F) | (((SettingsWord(44 + 2 * r) >> 10) & 0x3F) << 6);
    PutWord(m_ram, CalDacRam, quint16(calDac));
}
