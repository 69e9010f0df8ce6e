// An Intel HEX firmware file, checked as a whole and turned into word-addressed items.
#include "firmware/HexFile.h"

#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace {

// Upper-case hex digits, zero-padded to width.
QString Hex(quint64 value, int width)
{
    return QStringLiteral("%1").arg(value, width, 16, QLatin1Char('0')).toUpper();
}

// Every reason a file is refused, in one place.
namespace Reason {
QString NoSuchFile() { return QStringLiteral("the file does not exist"); }
QString NotAFile() { return QStringLiteral("this is a folder, not a file"); }
QString CannotOpen(const QString &why) { return QStringLiteral("the file cannot be opened (%1)").arg(why); }
QString TooLarge(qint64 size)
{
    return QStringLiteral("the file is too large for a firmware image (%1 bytes; at most %2)")
        .arg(size)
        .arg(CHexFile::MaxFileBytes);
}
QString Empty() { return QStringLiteral("the file is empty"); }
QString Binary() { return QStringLiteral("the file holds binary data, not Intel HEX text"); }
QString NoRecords() { return QStringLiteral("the file holds no records"); }
QString NoColon() { return QStringLiteral("the line does not start with \":\""); }
QString NotHex(int column, const QString &shown)
{
    return QStringLiteral("character %1 (%2) is not a hexadecimal digit").arg(column).arg(shown);
}
QString TrailingJunk() { return QStringLiteral("unexpected characters after the checksum"); }
QString TooShort() { return QStringLiteral("the line is too short for a record"); }
QString CountMismatch(int count, int expected, int actual)
{
    return QStringLiteral("the byte count %1 needs a line of %2 characters, not %3")
        .arg(Hex(quint64(count), 2))
        .arg(expected)
        .arg(actual);
}
QString BadChecksum(int given, int needed)
{
    return QStringLiteral("wrong checksum %1 (the record needs %2)")
        .arg(Hex(quint64(given), 2), Hex(quint64(needed), 2));
}
QString UnknownType(int type)
{
    return QStringLiteral("unknown record type %1").arg(Hex(quint64(type), 2));
}
QString WrongLength(const char *what, int wanted, int count)
{
    return QStringLiteral("%1 record must hold %2 data bytes, not %3").arg(QLatin1String(what)).arg(wanted).arg(count);
}
QString EndHoldsData() { return QStringLiteral("the end-of-file record must not hold data"); }
QString SegmentAddress(int segment)
{
    return QStringLiteral("extended segment address %1 is not supported")
        .arg(Hex(quint64(segment), 4));
}
QString OddWords() { return QStringLiteral("a data record must start at an even byte address and hold whole 16-bit words"); }
QString PastSegment() { return QStringLiteral("the data record runs past the end of its 64 KB segment"); }
QString BeyondFlash(quint64 word)
{
    return QStringLiteral("data at word 0x%1 lies beyond the instrument's flash (last word 0x%2)")
        .arg(Hex(word, 4), Hex(CHexFile::FlashWords - 1, 4));
}
QString Conflict(quint32 word, quint16 here, quint16 before, int line)
{
    return QStringLiteral("word 0x%1 is given as %2 here but as %3 on line %4")
        .arg(Hex(word, 4), Hex(here, 4), Hex(before, 4))
        .arg(line);
}
QString AfterEnd(int endLine) { return QStringLiteral("data follows the end-of-file record of line %1").arg(endLine); }
QString NoEnd() { return QStringLiteral("the file ends without an end-of-file record"); }
} // namespace Reason

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QString ShowCharacter(char c)
{
    const auto u = quint8(c);
    if (u > 0x20 && u < 0x7F)
        return QStringLiteral("\"%1\"").arg(QLatin1Char(c));
    return QStringLiteral("0x") + Hex(u, 2);
}

// Where a word came from, to name both lines when two records disagree.
struct WordSource
{
    quint16 value;
    int line;
};

} // namespace

quint16 CHexFile::Item::Word(int i) const
{
    if (i < 0 || i >= WordCount())
        return 0xFFFF;
    return quint16(quint8(bytes[2 * i]) | (quint8(bytes[2 * i + 1]) << 8));
}

QList<quint16> CHexFile::Item::Words() const
{
    QList<quint16> words;
    words.reserve(WordCount());
    for (int i = 0; i < WordCount(); ++i)
        words.append(Word(i));
    return words;
}

void CHexFile::Clear()
{
    m_valid = false;
    m_error.clear();
    m_reason.clear();
    m_errorLine = 0;
    m_lineCount = 0;
    m_items.clear();
}

bool CHexFile::Refuse(int line, const QString &reason)
{
    m_valid = false;
    m_items.clear();
    m_reason = reason;
    m_errorLine = line;
    const QString name = m_name.isEmpty() ? QStringLiteral("HEX text") : m_name;
    m_error = line > 0 ? QStringLiteral("%1, line %2: %3").arg(name).arg(line).arg(reason)
                       : QStringLiteral("%1: %2").arg(name, reason);
    return false;
}

bool CHexFile::Load(const QString &path)
{
    Clear();
    m_name = path;
    const QFileInfo info(path);
    if (!info.exists())
        return Refuse(0, Reason::NoSuchFile());
    if (info.isDir())
        return Refuse(0, Reason::NotAFile());
    if (info.size() > MaxFileBytes)
        return Refuse(0, Reason::TooLarge(info.size()));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Refuse(0, Reason::CannotOpen(file.errorString()));
    // Read one byte past the limit: a file that grew since it was looked at,
    // or a device posing as a file, is still caught.
    const QByteArray text = file.read(MaxFileBytes + 1);
    if (text.size() > MaxFileBytes)
        return Refuse(0, Reason::TooLarge(qMax<qint64>(info.size(), text.size())));
    return Parse(text, path);
}

bool CHexFile::Parse(const QByteArray &text, const QString &name)
{
    Clear();
    m_name = name;
    if (text.size() > MaxFileBytes)
        return Refuse(0, Reason::TooLarge(text.size()));
    if (text.isEmpty())
        return Refuse(0, Reason::Empty());
    if (text.contains('\0'))
        return Refuse(0, Reason::Binary());

    QList<Item> items;
    QHash<quint32, WordSource> written;
    quint64 base = 0;
    int endLine = 0;
    bool anyRecord = false;

    qsizetype at = 0;
    int lineNumber = 0;
    while (at < text.size()) {
        qsizetype end = text.indexOf('\n', at);
        if (end < 0)
            end = text.size();
        QByteArrayView line(text.constData() + at, end - at);
        at = end + 1;
        ++lineNumber;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        if (endLine)
            return Refuse(lineNumber, Reason::AfterEnd(endLine));
        if (line[0] != ':')
            return Refuse(lineNumber, Reason::NoColon());

        const qsizetype length = line.size();
        const int count = length >= 3 && HexValue(line[1]) >= 0 && HexValue(line[2]) >= 0
                              ? HexValue(line[1]) * 16 + HexValue(line[2])
                              : -1;
        for (qsizetype i = 1; i < length; ++i) {
            if (HexValue(line[i]) < 0) {
                if (count >= 0 && i >= 11 + 2 * count)
                    return Refuse(lineNumber, Reason::TrailingJunk());
                return Refuse(lineNumber, Reason::NotHex(int(i + 1), ShowCharacter(line[i])));
            }
        }
        if (count < 0)
            return Refuse(lineNumber, Reason::TooShort());
        if (length != 11 + 2 * count)
            return Refuse(lineNumber, Reason::CountMismatch(count, 11 + 2 * count, int(length)));

        QByteArray bytes(count + 5, '\0');
        for (int k = 0; k < count + 5; ++k)
            bytes[k] = char(HexValue(line[1 + 2 * k]) * 16 + HexValue(line[2 + 2 * k]));
        int sum = 0;
        for (int k = 0; k < count + 4; ++k)
            sum += quint8(bytes[k]);
        const int needed = (0x100 - (sum & 0xFF)) & 0xFF;
        const int given = quint8(bytes[count + 4]);
        if (given != needed)
            return Refuse(lineNumber, Reason::BadChecksum(given, needed));

        anyRecord = true;
        const quint32 byteAddress = (quint8(bytes[1]) << 8) | quint8(bytes[2]);
        const int type = quint8(bytes[3]);
        const QByteArray data = bytes.mid(4, count);

        switch (type) {
        case Data: {
            if (count == 0)
                break; // nothing to program or compare
            if ((byteAddress & 1) || (count & 1))
                return Refuse(lineNumber, Reason::OddWords());
            if (byteAddress + quint32(count) > 0x10000)
                return Refuse(lineNumber, Reason::PastSegment());
            const quint64 first = base | (byteAddress >> 1);
            const int words = count / 2;
            if (first + quint64(words) > FlashWords)
                return Refuse(lineNumber, Reason::BeyondFlash(qMax<quint64>(first, FlashWords)));
            Item item;
            item.line = lineNumber;
            item.type = Data;
            item.wordAddress = quint32(first);
            item.bytes = data;
            for (int i = 0; i < words; ++i) {
                const quint32 word = item.wordAddress + quint32(i);
                const quint16 value = item.Word(i);
                const auto known = written.constFind(word);
                if (known != written.constEnd()) {
                    if (known->value != value)
                        return Refuse(lineNumber, Reason::Conflict(word, value, known->value, known->line));
                } else {
                    written.insert(word, {value, lineNumber});
                }
            }
            // A record reaching across the end of the boot area: the boot part
            // is compared, the rest written, as if they were two records.
            if (item.wordAddress < BootAreaWords && item.wordAddress + quint32(words) > BootAreaWords) {
                const int bootWords = int(BootAreaWords - item.wordAddress);
                Item upper = item;
                upper.wordAddress = BootAreaWords;
                upper.bytes = data.mid(2 * bootWords);
                item.bytes = data.left(2 * bootWords);
                items.append(item);
                items.append(upper);
            } else {
                items.append(item);
            }
            break;
        }
        case EndOfFile: {
            if (count != 0)
                return Refuse(lineNumber, Reason::EndHoldsData());
            Item item;
            item.line = lineNumber;
            item.type = EndOfFile;
            items.append(item);
            endLine = lineNumber;
            break;
        }
        case 2: // extended segment address: harmless only when it leaves addresses alone
            if (count != 2)
                return Refuse(lineNumber, Reason::WrongLength("an extended segment address", 2, count));
            if (data[0] != 0 || data[1] != 0)
                return Refuse(lineNumber, Reason::SegmentAddress((quint8(data[0]) << 8) | quint8(data[1])));
            break;
        case 3: // start segment address: an entry point the instrument has no use for
            if (count != 4)
                return Refuse(lineNumber, Reason::WrongLength("a start segment address", 4, count));
            break;
        case ExtendedLinearAddress: {
            if (count != 2)
                return Refuse(lineNumber, Reason::WrongLength("an extended linear address", 2, count));
            // Upper 16 bits of a byte address; one 64 KB segment is 32K words.
            base = quint64((quint8(data[0]) << 8) | quint8(data[1])) << 15;
            Item item;
            item.line = lineNumber;
            item.type = ExtendedLinearAddress;
            item.wordAddress = quint32(base);
            items.append(item);
            break;
        }
        case 5: // start linear address: as type 3
            if (count != 4)
                return Refuse(lineNumber, Reason::WrongLength("a start linear address", 4, count));
            break;
        default:
            return Refuse(lineNumber, Reason::UnknownType(type));
        }
    }
    m_lineCount = lineNumber;
    if (!anyRecord)
        return Refuse(0, Reason::NoRecords());
    if (!endLine)
        return Refuse(lineNumber, Reason::NoEnd());
    m_items = items;
    m_valid = true;
    return true;
}

QList<CHexFile::Block> CHexFile::CompareBlocks() const
{
    QList<Block> blocks;
    for (const Item &item : m_items) {
        if (item.InBootArea())
            blocks.append({item.line, item.wordAddress, item.bytes});
    }
    return blocks;
}

QList<CHexFile::Block> CHexFile::WriteBlocks() const
{
    QList<Block> blocks;
    for (const Item &item : m_items) {
        if (item.type != Data || item.InBootArea())
            continue;
        for (int first = 0; first < item.WordCount(); first += MaxWordsPerWrite) {
            const int words = qMin(MaxWordsPerWrite, item.WordCount() - first);
            blocks.append({item.line, item.wordAddress + quint32(first), item.bytes.mid(2 * first, 2 * words)});
        }
    }
    return blocks;
}

QByteArray CHexFile::BootImage() const
{
    QByteArray image(2 * BootAreaWords, char(0xFF));
    for (const Item &item : m_items) {
        if (item.InBootArea())
            image.replace(2 * item.wordAddress, item.bytes.size(), item.bytes);
    }
    return image;
}

quint16 CHexFile::BootWord(quint32 wordAddress) const
{
    for (const Item &item : m_items) {
        if (item.InBootArea() && wordAddress >= item.wordAddress
            && wordAddress < item.wordAddress + quint32(item.WordCount()))
            return item.Word(int(wordAddress - item.wordAddress));
    }
    return 0xFFFF;
}
