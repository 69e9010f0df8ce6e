// Reading, editing and saving profile (INI) files with the profile-file rules.
#include "ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <charconv>
#include <limits>

namespace {
// Profile files are a few kilobytes; anything this large is not one, and
// reading it whole would only exhaust memory.
constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

bool IsBlank(QChar c)
{
    const char16_t u = c.unicode();
    return u == ' ' || u == '\t' || u == '\v' || u == '\f' || u == '\r' || u == '\n';
}

// Trims only ASCII blanks: QString::trimmed would also eat byte 0xA0, which
// is a character in a Latin-1 ID text.
QString TrimBlanks(QStringView text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin).toString();
}

bool SameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString OneLine(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char('\r'), QLatin1Char(' '));
    out.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return out;
}

QString FileName(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

int HexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

bool IsDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

quint8 Checksum(const QByteArray &bytes)
{
    unsigned sum = 0;
    for (char c : bytes)
        sum += quint8(c);
    return quint8(sum & 0xFF);
}

// Decimal exponent of the leading significant digit of a well-formed number
// text ("123.4" gives 3, "0.05" gives -1, "1e400" gives 401); tells an
// overflowing text from an underflowing one.
qint64 Magnitude(const QByteArray &number)
{
    qsizetype i = 0;
    qint64 magnitude = 0;
    bool significant = false;
    for (; i < number.size() && number[i] >= '0' && number[i] <= '9'; ++i) {
        significant = significant || number[i] != '0';
        if (significant)
            ++magnitude;
    }
    if (i < number.size() && number[i] == '.') {
        for (++i; i < number.size() && number[i] >= '0' && number[i] <= '9'; ++i) {
            if (significant)
                continue;
            if (number[i] != '0')
                significant = true;
            else
                --magnitude;
        }
    }
    if (i < number.size() && (number[i] == 'e' || number[i] == 'E'))
        magnitude += CProfileFile::LeadingInt(QString::fromLatin1(number.mid(i + 1)));
    return magnitude;
}
} // namespace

CProfileFile::Line CProfileFile::ParseLine(const QString &text)
{
    Line line;
    line.text = text;
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    if (i == text.size())
        return line;
    if (text[i] == QLatin1Char('[')) {
        const qsizetype close = text.indexOf(QLatin1Char(']'), i + 1);
        if (close >= 0) {
            line.kind = Kind::Section;
            line.name = TrimBlanks(QStringView(text).mid(i + 1, close - i - 1));
        }
        return line;
    }
    if (text[i] == QLatin1Char(';'))
        return line;
    const qsizetype equals = text.indexOf(QLatin1Char('='), i);
    if (equals < 0)
        return line;
    line.name = TrimBlanks(QStringView(text).mid(i, equals - i));
    if (!line.name.isEmpty()) {
        line.kind = Kind::Key;
        line.valueStart = equals + 1;
    }
    return line;
}

void CProfileFile::LoadFromBytes(const QByteArray &bytes)
{
    m_lines.clear();
    m_lineEnd = QByteArrayLiteral("\r\n");
    m_modified = false;
    bool endingSeen = false;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n')
            continue;
        m_lines.append(ParseLine(QString::fromLatin1(bytes.constData() + start, i - start)));
        qsizetype endLength = 1;
        if (c == '\r' && i + 1 < n && bytes[i + 1] == '\n')
            endLength = 2;
        if (!endingSeen) {
            m_lineEnd = bytes.mid(i, endLength);
            endingSeen = true;
        }
        i += endLength - 1;
        start = i + 1;
    }
    if (start < n)
        m_lines.append(ParseLine(QString::fromLatin1(bytes.constData() + start, n - start)));
}

QByteArray CProfileFile::ToBytes() const
{
    QByteArray out;
    for (const Line &line : m_lines) {
        out += line.text.toLatin1();
        out += m_lineEnd;
    }
    return out;
}

bool CProfileFile::Load(const QString &path, Missing missing)
{
    m_path = path;
    m_error.clear();
    LoadFromBytes({});
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (missing == Missing::Empty && !QFileInfo::exists(path))
            return true;
        m_error = QStringLiteral("Cannot read %1: %2").arg(FileName(path), file.errorString());
        return false;
    }
    if (file.size() > MaxFileSize) {
        m_error = QStringLiteral("Cannot read %1: the file is too large for a settings file").arg(FileName(path));
        return false;
    }
    const QByteArray bytes = file.read(MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        m_error = QStringLiteral("Cannot read %1: %2").arg(FileName(path), file.errorString());
        return false;
    }
    if (bytes.size() > MaxFileSize) {
        m_error = QStringLiteral("Cannot read %1: the file is too large for a settings file").arg(FileName(path));
        return false;
    }
    LoadFromBytes(bytes);
    return true;
}

bool CProfileFile::WriteTo(const QString &path)
{
    m_error.clear();
    if (path.isEmpty()) {
        m_error = QStringLiteral("Cannot save the settings: no file name was given");
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        m_error = QStringLiteral("Cannot save %1: %2").arg(FileName(path), file.errorString());
        return false;
    }
    const QByteArray bytes = ToBytes();
    // The explicit flush matters: commit() flushes too, but does not notice a
    // short write there (a full disk), and would put a cut-off file in place
    // of the old one while reporting success.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        m_error = QStringLiteral("Cannot save %1: %2").arg(FileName(path), file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        m_error = QStringLiteral("Cannot save %1: %2").arg(FileName(path), file.errorString());
        return false;
    }
    m_modified = false;
    return true;
}

bool CProfileFile::Save()
{
    return WriteTo(m_path);
}

bool CProfileFile::SaveAs(const QString &path)
{
    if (!WriteTo(path))
        return false;
    m_path = path;
    return true;
}

qsizetype CProfileFile::FindSection(const QString &section) const
{
    const QString name = TrimBlanks(section);
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Kind::Section && SameName(m_lines[i].name, name))
            return i;
    }
    return -1;
}

qsizetype CProfileFile::SectionEnd(qsizetype header) const
{
    qsizetype i = header + 1;
    while (i < m_lines.size() && m_lines[i].kind != Kind::Section)
        ++i;
    return i;
}

qsizetype CProfileFile::FindKey(const QString &section, const QString &key) const
{
    const qsizetype header = FindSection(section);
    if (header < 0)
        return -1;
    const QString name = TrimBlanks(key);
    const qsizetype end = SectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (m_lines[i].kind == Kind::Key && SameName(m_lines[i].name, name))
            return i;
    }
    return -1;
}

bool CProfileFile::RawValue(const QString &section, const QString &key, QString &value) const
{
    const qsizetype i = FindKey(section, key);
    if (i < 0)
        return false;
    value = TrimBlanks(QStringView(m_lines[i].text).mid(m_lines[i].valueStart));
    return true;
}

QString CProfileFile::GetString(const QString &section, const QString &key, const QString &def) const
{
    QString value;
    if (!RawValue(section, key, value))
        value = def;
    return value.left(MaxValueLength);
}

int CProfileFile::GetInt(const QString &section, const QString &key, int def) const
{
    QString value;
    if (!RawValue(section, key, value) || value.isEmpty())
        return def;
    return LeadingInt(value.left(MaxValueLength));
}

bool CProfileFile::GetStruct(const QString &section, const QString &key, QByteArray &bytes, qsizetype size) const
{
    if (size < 0 || size > MaxFileSize)
        return false;
    QString text;
    if (!RawValue(section, key, text) || text.size() != 2 * size + 2)
        return false;
    // size data bytes, then the checksum byte.
    QByteArray decoded(size + 1, '\0');
    for (qsizetype i = 0; i <= size; ++i) {
        const int high = HexDigit(text[2 * i]);
        const int low = HexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        decoded[i] = char(high * 16 + low);
    }
    const quint8 checksum = quint8(decoded[size]);
    decoded.truncate(size);
    if (Checksum(decoded) != checksum)
        return false;
    bytes = decoded;
    return true;
}

bool CProfileFile::HasSection(const QString &section) const
{
    return FindSection(section) >= 0;
}

QStringList CProfileFile::Sections() const
{
    QStringList names;
    for (const Line &line : m_lines) {
        if (line.kind == Kind::Section && !names.contains(line.name, Qt::CaseInsensitive))
            names.append(line.name);
    }
    return names;
}

QStringList CProfileFile::Keys(const QString &section) const
{
    QStringList names;
    const qsizetype header = FindSection(section);
    if (header < 0)
        return names;
    const qsizetype end = SectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (m_lines[i].kind == Kind::Key && !names.contains(m_lines[i].name, Qt::CaseInsensitive))
            names.append(m_lines[i].name);
    }
    return names;
}

void CProfileFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    const QString sectionName = OneLine(TrimBlanks(section));
    const QString keyName = OneLine(TrimBlanks(key));
    const QString text = OneLine(value);
    m_modified = true;

    const qsizetype existing = FindKey(sectionName, keyName);
    if (existing >= 0) {
        m_lines[existing] = ParseLine(m_lines[existing].name + QLatin1Char('=') + text);
        return;
    }
    const qsizetype header = FindSection(sectionName);
    if (header >= 0) {
        qsizetype at = SectionEnd(header);
        while (at - 1 > header && m_lines[at - 1].kind == Kind::Other && TrimBlanks(m_lines[at - 1].text).isEmpty())
            --at;
        m_lines.insert(at, ParseLine(keyName + QLatin1Char('=') + text));
        return;
    }
    if (!m_lines.isEmpty() && !TrimBlanks(m_lines.last().text).isEmpty())
        m_lines.append(ParseLine(QString()));
    m_lines.append(ParseLine(QLatin1Char('[') + sectionName + QLatin1Char(']')));
    m_lines.append(ParseLine(keyName + QLatin1Char('=') + text));
}

QString CProfileFile::StructText(const QByteArray &bytes)
{
    QByteArray withSum = bytes;
    withSum.append(char(Checksum(bytes)));
    return QString::fromLatin1(withSum.toHex().toUpper());
}

void CProfileFile::WriteStruct(const QString &section, const QString &key, const QByteArray &bytes)
{
    WriteString(section, key, StructText(bytes));
}

int CProfileFile::LeadingInt(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        negative = text[i++] == QLatin1Char('-');
    qint64 value = 0;
    constexpr qint64 Limit = qint64(std::numeric_limits<int>::max()) + 1;
    for (; i < text.size() && IsDigit(text[i]); ++i)
        value = qMin(value * 10 + (text[i].unicode() - '0'), Limit);
    if (negative)
        return int(-value);
    return int(qMin(value, Limit - 1));
}

double CProfileFile::LeadingReal(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        negative = text[i++] == QLatin1Char('-');
    // A number starts with a digit or a point and a digit; this keeps out the
    // "inf" and "nan" words that the library conversion would accept.
    const bool starts = i < text.size()
        && (IsDigit(text[i]) || (text[i] == QLatin1Char('.') && i + 1 < text.size() && IsDigit(text[i + 1])));
    if (!starts)
        return 0.0;
    qsizetype end = i;
    while (end < text.size() && text[end].unicode() < 0x80 && !IsBlank(text[end]))
        ++end;
    const QByteArray ascii = text.mid(i, end - i).toLatin1();
    double value = 0.0;
    const auto result = std::from_chars(ascii.constData(), ascii.constData() + ascii.size(), value,
                                        std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        const QByteArray used = ascii.left(result.ptr - ascii.constData());
        value = Magnitude(used) > 0 ? std::numeric_limits<double>::max() : 0.0;
    } else if (result.ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

QString CProfileFile::GetFileString(const QString &path, const QString &section, const QString &key,
                                    const QString &def)
{
    CProfileFile file;
    file.Load(path);
    return file.GetString(section, key, def);
}

int CProfileFile::GetFileInt(const QString &path, const QString &section, const QString &key, int def)
{
    CProfileFile file;
    file.Load(path);
    return file.GetInt(section, key, def);
}

bool CProfileFile::WriteFileString(const QString &path, const QString &section, const QString &key,
                                   const QString &value, QString *error)
{
    CProfileFile file;
    bool ok = file.Load(path, Missing::Empty);
    if (ok) {
        file.WriteString(section, key, value);
        ok = file.Save();
    }
    if (error)
        *error = file.ErrorString();
    return ok;
}

bool CProfileFile::WriteFileStruct(const QString &path, const QString &section, const QString &key,
                                   const QByteArray &bytes, QString *error)
{
    return WriteFileString(path, section, key, StructText(bytes), error);
}
