// The instrument's settings in its own packed form, with the conversions between stored and shown values.
#include "SettingsImage.h"
#include "WordImage.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int HighAlarmHC = 30;    // words 30..36, range 0..3
constexpr int HighAlarmO2 = 38;    // 38, 40, 42 for sensors 2..4
constexpr int WarningAlarmHC = 44; // words 44..50
constexpr int WarningAlarmO2 = 52; // 52, 54, 56
constexpr int CalOffsetHC = 8;     // words 8..14
constexpr int CalOffsetO2 = 16;    // 16, 18, 20
constexpr int PasswordHighDistance = 14; // bits 5-9 sit 14 bytes after bits 0-4

// A level field's 10 bits; the upper 6 bits of these words belong to others.
constexpr unsigned LevelMask = 0x3FF;

bool IsToxic(int sensor)
{
    return sensor == CSettingsImage::SensorToxic1 || sensor == CSettingsImage::SensorToxic2;
}

// Rounds to the nearest integer (halves away from zero) and keeps the low 10
// bits, as two's complement would for a negative number.
int RoundTo10Bits(double value)
{
    if (!std::isfinite(value))
        return 0;
    double r = std::fmod(std::round(value), 1024.0);
    if (r < 0)
        r += 1024.0;
    return int(r);
}

// Tolerance for comparing a shown value with a stored one: the user's number
// went through a decimal text, the stored one through a division.
bool AtLeast(double have, double want)
{
    return have >= want - 1e-9 * std::max(1.0, std::fabs(want));
}

} // namespace

CSettingsImage::CSettingsImage(const CWordImage &words, NowProvider now)
    : m_words(words)
    , m_now(now ? std::move(now) : NowProvider([] { return QDateTime::currentDateTime(); }))
{
    for (int i = 0; i < IdEntryCount; ++i)
        m_ids << QString(IdLength, QLatin1Char(' '));
}

// ---------------------------------------------------------------- raw block

int CSettingsImage::StoreTimeKeeper(int offset, const QByteArray &bytes)
{
    if (offset < 0 || offset >= TimeKeeperSize)
        return 0;
    const int count = std::min<int>(int(bytes.size()), TimeKeeperSize - offset);
    for (int i = 0; i < count; ++i)
        m_block[size_t(offset + i)] = quint8(bytes[i]);
    return std::max(count, 0);
}

QByteArray CSettingsImage::TimeKeeperPiece(int offset, int count) const
{
    if (offset < 0 || offset >= TimeKeeperSize || count <= 0)
        return {};
    count = std::min(count, TimeKeeperSize - offset);
    return QByteArray(reinterpret_cast<const char *>(m_block.data()) + offset, count);
}

unsigned CSettingsImage::Get(Field f) const
{
    unsigned v = m_block[size_t(f.offset)];
    if (f.width == 2)
        v |= unsigned(m_block[size_t(f.offset) + 1]) << 8;
    return (v >> f.shift) & ((1u << f.bits) - 1);
}

void CSettingsImage::Set(Field f, unsigned value)
{
    unsigned v = m_block[size_t(f.offset)];
    if (f.width == 2)
        v |= unsigned(m_block[size_t(f.offset) + 1]) << 8;
    const unsigned mask = ((1u << f.bits) - 1) << f.shift;
    v = (v & ~mask) | ((value << f.shift) & mask);
    m_block[size_t(f.offset)] = quint8(v & 0xFF);
    if (f.width == 2)
        m_block[size_t(f.offset) + 1] = quint8((v >> 8) & 0xFF);
}

// ---------------------------------------------------------------- ID table

QString CSettingsImage::NormaliseId(const QString &text)
{
    return text.leftJustified(IdLength, QLatin1Char(' '), true);
}

QString CSettingsImage::IdEntry(int entry) const
{
    if (entry < 1 || entry > IdEntryCount)
        return {};
    return m_ids[entry - 1];
}

void CSettingsImage::SetIdEntry(int entry, const QString &text)
{
    if (entry < 1 || entry > IdEntryCount)
        return;
    m_ids[entry - 1] = NormaliseId(text);
}

QByteArray CSettingsImage::IdEntryBytes(int entry) const
{
    if (entry < 1 || entry > IdEntryCount)
        return {};
    QByteArray bytes(IdLength, ' ');
    const QString &text = m_ids[entry - 1];
    for (int i = 0; i < IdLength; ++i) {
        const char16_t c = text[i].unicode();
        bytes[i] = c < 0x100 ? char(c) : '?';
    }
    return bytes;
}

void CSettingsImage::StoreIdEntry(int entry, const QByteArray &bytes)
{
    SetIdEntry(entry, QString::fromLatin1(bytes.left(IdLength)));
}

void CSettingsImage::SetOperatorId(int n, const QString &text)
{
    if (n >= 1 && n <= OperatorCount)
        SetIdEntry(FirstOperatorEntry - 1 + n, text);
}

void CSettingsImage::SetLocationId(int n, const QString &text)
{
    if (n >= 1 && n <= LocationCount)
        SetIdEntry(FirstLocationEntry - 1 + n, text);
}

// ---------------------------------------------------------------- toxic table

void CSettingsImage::SetToxicCount(int count)
{
    m_toxic.resize(std::clamp(count, 0, 255));
}

const CToxicRecord &CSettingsImage::ToxicRecord(int index) const
{
    static const CToxicRecord blank;
    if (m_toxic.isEmpty())
        return blank;
    if (index < 0 || index >= m_toxic.size())
        index = 0;
    return m_toxic[index];
}

void CSettingsImage::SetToxicRecord(int index, const CToxicRecord &record)
{
    if (index >= 0 && index < m_toxic.size())
        m_toxic[index] = record;
}

int CSettingsImage::StoreToxicChunk(int index, int offset, const QByteArray &bytes)
{
    if (index < 0 || index >= m_toxic.size())
        return 0;
    return m_toxic[index].Store(offset, bytes);
}

int CSettingsImage::FindToxicGas(const QString &name) const
{
    for (int i = 0; i < m_toxic.size(); ++i) {
        QString gas = m_toxic[i].GasName();
        while (gas.endsWith(QLatin1Char(' ')))
            gas.chop(1);
        if (gas == name)
            return i;
    }
    return 0;
}

// ---------------------------------------------------------------- range table

CRangeRecord CSettingsImage::RangeRecord(int r) const
{
    return CRangeRecord::FromImage(m_words, r);
}

bool CSettingsImage::BlockTouchesRangeRecord(qint64 word, int byteCount, int r)
{
    if (r < 0 || r >= CRangeRecord::Count)
        return false;
    const qint64 first = CRangeRecord::TableWord + qint64(CRangeRecord::WordsPerRecord) * r;
    const qint64 end = first + CRangeRecord::WordsPerRecord;
    // The block's end is compared inclusively: a block that ends right where
    // the record starts still counts, as the instrument views expect.
    return word < end && word + byteCount / 2 >= first;
}

bool CSettingsImage::Toxic2CarriesTC() const
{
    return RangeRecord(0).HCSupply() == CRangeRecord::SupplyTc;
}

int CSettingsImage::HCCalGasUnits() const
{
    const int units = RangeRecord(0).DisplayUnits();
    if (units == CRangeRecord::UnitGas || units == CRangeRecord::UnitHi)
        return RangeRecord(1).DisplayUnits();
    return units;
}

// ---------------------------------------------------------------- conversions

int CSettingsImage::ResolveRange(int range) const
{
    if (range == CurrentRange)
        return GetHCRangeIndex();
    return (range >= 0 && range < CRangeRecord::Count) ? range : -1;
}

double CSettingsImage::LevelScale(int sensor, int range) const
{
    switch (sensor) {
    case SensorHC: return RangeRecord(ResolveRange(range)).Scale();
    case SensorO2: return 10.0;
    case SensorToxic1:
    case SensorToxic2: return ToxicRecord(GetSensorGas(sensor)).Divisor();
    default: return 1.0;
    }
}

double CSettingsImage::RawToShown(int sensor, int raw, int range) const
{
    switch (sensor) {
    case SensorHC: return RangeRecord(ResolveRange(range)).ShownLevel(raw);
    case SensorO2: return raw / 10.0;
    case SensorToxic1:
    case SensorToxic2: return ToxicRecord(GetSensorGas(sensor)).Shown(raw);
    default: return 0.0;
    }
}

int CSettingsImage::ShownToRaw(int sensor, double shown, int range) const
{
    switch (sensor) {
    case SensorHC: {
        const CRangeRecord record = RangeRecord(ResolveRange(range));
        return RoundTo10Bits(record.IsPpm() ? shown * record.Scale() / 10.0 : shown * record.Scale());
    }
    case SensorO2: return RoundTo10Bits(shown * 10.0);
    case SensorToxic1:
    case SensorToxic2: {
        const int fraction = ToxicRecord(GetSensorGas(sensor)).Fraction();
        return RoundTo10Bits(fraction == 0 ? shown / 10.0 : shown * fraction);
    }
    default: return 0;
    }
}


// ---------------------------------------------------------------- offsets, spans, DACs

int CSettingsImage::GetCalOffset(int sensor, int range) const
{
    const int offset = LevelOffset(CalOffsetHC, CalOffsetO2, sensor, range, nullptr);
    return offset < 0 ? 0 : int(Get({offset, 2, 0, 16}));
}

void CSettingsImage::SetCalOffset(int sensor, int range, int value)
{
    const int offset = LevelOffset(CalOffsetHC, CalOffsetO2, sensor, range, nullptr);
    if (offset >= 0)
        Set({offset, 2, 0, 16}, unsigned(value));
}

int CSettingsImage::GetCalSpan(int sensor) const
{
    if (sensor < SensorHC || sensor > SensorToxic2)
        return 0;
    return int(Get({22 + 2 * (sensor - 1), 2, 6, 10}) << 6);
}

void CSettingsImage::SetCalSpan(int sensor, int value)
{
    if (sensor >= SensorHC && sensor <= SensorToxic2)
        Set({22 + 2 * (sensor - 1), 2, 6, 10}, unsigned(value) >> 6);
}

int CSettingsImage::GetCalDac(int range) const
{
    const int r = ResolveRange(range);
    if (r < 0)
        return 0;
    return int(Get({HighAlarmHC + 2 * r, 2, 10, 6}) | (Get({WarningAlarmHC + 2 * r, 2, 10, 6}) << 6));
}

void CSettingsImage::SetCalDac(int range, int value)
{
    const int r = ResolveRange(range);
    if (r < 0)
        return;
    Set({HighAlarmHC + 2 * r, 2, 10, 6}, unsigned(value));
    Set({WarningAlarmHC + 2 * r, 2, 10, 6}, unsigned(value) >> 6);
}

// ---------------------------------------------------------------- alarm levels

int CSettingsImage::LevelOffset(int firstHC, int o2, int sensor, int range, int *resolved) const
{
    if (sensor == SensorHC) {
        const int r = ResolveRange(range);
        if (resolved)
            *resolved = r;
        return r < 0 ? -1 : firstHC + 2 * r;
    }
    if (sensor >= SensorO2 && sensor <= SensorToxic2)
        return o2 + 2 * (sensor - SensorO2);
    return -1;
}

int CSettingsImage::GetHighAlarmRaw(int sensor, int range) const
{
    const int offset = LevelOffset(HighAlarmHC, HighAlarmO2, sensor, range, nullptr);
    return offset < 0 ? 0 : int(Get({offset, 2, 0, 10}));
}

int CSettingsImage::GetWarningAlarmRaw(int sensor, int range) const
{
    const int offset = LevelOffset(WarningAlarmHC, WarningAlarmO2, sensor, range, nullptr);
    return offset < 0 ? 0 : int(Get({offset, 2, 0, 10}));
}

double CSettingsImage::GetHighAlarm(int sensor, int range) const
{
    int r = 0;
    const int offset = LevelOffset(HighAlarmHC, HighAlarmO2, sensor, range, &r);
    return offset < 0 ? 0.0 : RawToShown(sensor, int(Get({offset, 2, 0, 10})), r);
}

void CSettingsImage::SetHighAlarm(int sensor, int range, double shown)
{
    int r = 0;
    const int offset = LevelOffset(HighAlarmHC, HighAlarmO2, sensor, range, &r);
    if (offset >= 0)
        Set({offset, 2, 0, 10}, unsigned(ShownToRaw(sensor, shown, r)) & LevelMask);
}

double CSettingsImage::GetWarningAlarm(int sensor, int range) const
{
    int r = 0;
    const int offset = LevelOffset(WarningAlarmHC, WarningAlarmO2, sensor, range, &r);
    return offset < 0 ? 0.0 : RawToShown(sensor, int(Get({offset, 2, 0, 10})), r);
}

void CSettingsImage::SetWarningAlarm(int sensor, int range, double shown)
{
    int r = 0;
    const int offset = LevelOffset(WarningAlarmHC, WarningAlarmO2, sensor, range, &r);
    if (offset >= 0)
        Set({offset, 2, 0, 10}, unsigned(ShownToRaw(sensor, shown, r)) & LevelMask);
}

// ---------------------------------------------------------------- calibration gases

int CSettingsImage::GetCalGasCode(int sensor) const
{
    switch (sensor) {
    case SensorHC: return int(Get({22, 2, 0, 4}));
    case SensorO2: return int(Get({24, 2, 0, 4}));
    case SensorToxic1: return int(Get({26, 2, 0, 2}));
    case SensorToxic2: return int(Get({28, 2, 0, 2}));
    default: return 0;
    }
}

double CSettingsImage::GetCalGas(int sensor) const
{
    const int code = GetCalGasCode(sensor);
    switch (sensor) {
    case SensorHC: {
        const int value = 5 * code + 5;
        const int units = HCCalGasUnits();
        // Volume ranges keep the gas in tenths of a percent, rounded up from the %LEL steps.
        if (units == CRangeRecord::UnitVol || units == CRangeRecord::UnitLow)
            return ((value + 1) / 2) / 10.0;
        return value;
    }
    case SensorO2: return code;
    case SensorToxic1:
    case SensorToxic2: {
        const CToxicRecord &gas = ToxicRecord(GetSensorGas(sensor));
        return gas.Shown(gas.CalGas(code + 1));
    }
    default: return 0.0;
    }
}

void CSettingsImage::SetCalGas(int sensor, double value)
{
    if (!std::isfinite(value))
        value = 0.0;
    switch (sensor) {
    case SensorHC: {
        const int units = HCCalGasUnits();
        if (units == CRangeRecord::UnitVol || units == CRangeRecord::UnitLow)
            value *= 20.0;
        // The small nudge keeps 2.3 %VOL (46 in %LEL steps) from truncating to 45.
        const qint64 whole = qint64(std::floor(std::clamp(value, -1e9, 1e9) + 1e-9));
        Set({22, 2, 0, 4}, unsigned(whole / 5 - 1));
        break;
    }
    case SensorO2:
        Set({24, 2, 0, 4}, unsigned(qint64(std::clamp(value, -1e9, 1e9))));
        break;
    case SensorToxic1:
    case SensorToxic2: {
        const CToxicRecord &gas = ToxicRecord(GetSensorGas(sensor));
        int choice = 0;
        for (int c = 0; c < 4; ++c) {
            if (AtLeast(gas.Shown(gas.CalGas(c + 1)), value)) {
                choice = c;
                break;
            }
        }
        Set({sensor == SensorToxic1 ? 26 : 28, 2, 0, 2}, unsigned(choice));
        break;
    }
    default: break;
    }
}

// ---------------------------------------------------------------- passwords

int CSettingsImage::Password(int firstOffset) const
{
    return int(Get({firstOffset, 2, 10, 5}) | (Get({firstOffset + PasswordHighDistance, 2, 10, 5}) << 5));
}

void CSettingsImage::SetPassword(int firstOffset, int value)
{
    Set({firstOffset, 2, 10, 5}, unsigned(value));
    Set({firstOffset + PasswordHighDistance, 2, 10, 5}, unsigned(value) >> 5);
}

// CalWord, PassWord and LogWord keep bits 0-4 in words 38, 40 and 42.
QString CSettingsImage::GetCalWord() const { return CSettingsCodec::PasswordText(Password(38)); }
void CSettingsImage::SetCalWord(const QString &text) { SetPassword(38, CSettingsCodec::ParsePassword(text)); }
QString CSettingsImage::GetPassWord() const { return CSettingsCodec::PasswordText(Password(40)); }
void CSettingsImage::SetPassWord(const QString &text) { SetPassword(40, CSettingsCodec::ParsePassword(text)); }
QString CSettingsImage::GetLogWord() const { return CSettingsCodec::PasswordText(Password(42)); }
void CSettingsImage::SetLogWord(const QString &text) { SetPassword(42, CSettingsCodec::ParsePassword(text)); }


// ---------------------------------------------------------------- dates and clock

QDate CSettingsImage::GetLastCalDate() const
{
    const int day = int(Get({58, 2, 0, 9}));
    const QDateTime now = m_now();
    QDate date = QDate(now.date().year(), 1, 1).addDays(day - 1);
    if (date.startOfDay() > now)
        date = QDate(now.date().year() - 1, 1, 1).addDays(day - 1);
    return date;
}

void CSettingsImage::SetLastCalDate(const QDate &date)
{
    Set({58, 2, 0, 9}, date.isValid() ? unsigned(date.dayOfYear()) : 0u);
}


QDateTime CSettingsImage::GetClock() const
{
    return CSettingsCodec::DecodeBcdDateTime(m_block[6], m_block[5], m_block[4],
                             quint8(m_block[2] & 0x3F), m_block[1], quint8(m_block[0] & 0x7F));
}

void CSettingsImage::SetClock(const QDateTime &when)
{
    if (!when.isValid())
        return;
    const QDate d = when.date();
    const QTime t = when.time();
    m_block[0] = quint8((m_block[0] & 0x80) | CSettingsCodec::ToBcd(t.second()));
    m_block[1] = CSettingsCodec::ToBcd(t.minute());
    m_block[2] = quint8((m_block[2] & 0xC0) | CSettingsCodec::ToBcd(t.hour()));
    m_block[4] = CSettingsCodec::ToBcd(d.day());
    m_block[5] = CSettingsCodec::ToBcd(d.month());
    m_block[6] = CSettingsCodec::ToBcd(((d.year() % 100) + 100) % 100);
}

// ---------------------------------------------------------------- coded intervals


int CSettingsImage::GetCalInterval() const { return CSettingsCodec::CalIntervalDays(int(Get({58, 2, 9, 6}))); }
void CSettingsImage::SetCalInterval(int days) { Set({58, 2, 9, 6}, unsigned(CSettingsCodec::CalIntervalCode(days))); }

int CSettingsImage::GetAlarmDelay() const { return CSettingsCodec::AlarmDelayTable()[int(Get({26, 2, 2, 2}))]; }
void CSettingsImage::SetAlarmDelay(int seconds) { Set({26, 2, 2, 2}, unsigned(CSettingsCodec::CodeAtLeast(CSettingsCodec::AlarmDelayTable(), seconds))); }

int CSettingsImage::GetBackLightDelay() const { return CSettingsCodec::BackLightDelayTable()[int(Get({61, 1, 4, 4}))]; }
void CSettingsImage::SetBackLightDelay(int seconds)
{
    Set({61, 1, 4, 4}, unsigned(CSettingsCodec::CodeAtLeast(CSettingsCodec::BackLightDelayTable(), seconds)));
}

int CSettingsImage::GetLogInterval() const { return CSettingsCodec::LogIntervalTable()[int(Get({62, 1, 4, 3}))]; }
void CSettingsImage::SetLogInterval(int seconds)
{
    Set({62, 1, 4, 3}, unsigned(CSettingsCodec::CodeAtLeast(CSettingsCodec::LogIntervalTable(), seconds, 1)));
}

// ---------------------------------------------------------------- indexes, switches, flags

int CSettingsImage::GetHCRangeIndex() const { return int(Get({22, 2, 4, 2})); }
void CSettingsImage::SetHCRangeIndex(int range) { Set({22, 2, 4, 2}, unsigned(range)); }

int CSettingsImage::GetOperatorIndex() const { return int(Get({62, 1, 0, 4})) + 1; }
void CSettingsImage::SetOperatorIndex(int index) { Set({62, 1, 0, 4}, unsigned(index - 1)); }

int CSettingsImage::GetLocationIndex() const { return int(Get({63, 1, 0, 6})) + 1; }
void CSettingsImage::SetLocationIndex(int index) { Set({63, 1, 0, 6}, unsigned(index - 1)); }

int CSettingsImage::GetSensor(int sensor) const
{
    if (sensor < SensorHC || sensor > SensorToxic2)
        return 0;
    return int(Get({61, 1, sensor - 1, 1}));
}

void CSettingsImage::SetSensor(int sensor, int fitted)
{
    if (sensor >= SensorHC && sensor <= SensorToxic2)
        Set({61, 1, sensor - 1, 1}, fitted != 0 ? 1u : 0u);
}

int CSettingsImage::GetSensorGas(int sensor) const
{
    if (!IsToxic(sensor))
        return 0;
    return int(Get({60, 1, sensor == SensorToxic1 ? 0 : 4, 4}));
}

void CSettingsImage::SetSensorGas(int sensor, int index)
{
    if (IsToxic(sensor))
        Set({60, 1, sensor == SensorToxic1 ? 0 : 4, 4}, unsigned(index));
}

QString CSettingsImage::SensorGasName(int sensor) const
{
    if (!IsToxic(sensor))
        return {};
    return ToxicGasName(GetSensor(sensor) ? GetSensorGas(sensor) : 0);
}


QString CSettingsImage::SensorUnits(int sensor) const
{
    return CSettingsCodec::ToxicUnits(SensorGasName(sensor));
}

int CSettingsImage::GetO2AlarmConfiguration() const { return int(Get({24, 2, 4, 2})); }
void CSettingsImage::SetO2AlarmConfiguration(int value) { Set({24, 2, 4, 2}, unsigned(value)); }
int CSettingsImage::GetComfortAlert() const { return int(Get({26, 2, 4, 2})); }
void CSettingsImage::SetComfortAlert(int value) { Set({26, 2, 4, 2}, unsigned(value)); }
int CSettingsImage::GetAlarmLatch() const { return int(Get({38, 2, 15, 1})); }
void CSettingsImage::SetAlarmLatch(int value) { Set({38, 2, 15, 1}, value != 0); }
int CSettingsImage::GetLunchBreak() const { return int(Get({40, 2, 15, 1})); }
void CSettingsImage::SetLunchBreak(int value) { Set({40, 2, 15, 1}, value != 0); }
int CSettingsImage::GetBumpTest() const { return int(Get({42, 2, 15, 1})); }
void CSettingsImage::SetBumpTest(int value) { Set({42, 2, 15, 1}, value != 0); }
int CSettingsImage::GetTemperatureAlarm() const { return int(Get({56, 2, 15, 1})); }
void CSettingsImage::SetTemperatureAlarm(int value) { Set({56, 2, 15, 1}, value != 0); }
int CSettingsImage::GetLogMemoryManager() const { return int(Get({62, 1, 7, 1})); }
void CSettingsImage::SetLogMemoryManager(int value) { Set({62, 1, 7, 1}, value != 0); }
int CSettingsImage::GetLogAverages() const { return int(Get({63, 1, 6, 2})); }
void CSettingsImage::SetLogAverages(int value) { Set({63, 1, 6, 2}, unsigned(value)); }
