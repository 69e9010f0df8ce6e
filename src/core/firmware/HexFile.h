// An Intel HEX firmware file, checked as a whole and turned into word-addressed items.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

/*
 * The instrument's flash is word-addressed; a HEX file gives byte addresses.
 *   - A type 4 record sets the word base to its 16-bit value << 15, so one
 *     64 KB byte segment is one 32K-word bank (data 00 01 is word 0x8000).
 *     The high byte is kept rather than dropped, so a file aimed above the
 *     instrument's 0x28000 words is refused instead of folded onto its flash.
 *   - A data record's word address is base | (byte address >> 1). It must
 *     start on a word and hold whole words, inside its 64 KB segment. Its data
 *     bytes pair into words low byte first, the order in which the instrument
 *     sends and takes words. A data record without bytes programs nothing
 *     and gives no item.
 *   - Type 2 is accepted only with segment 0 (it then moves nothing); types 3
 *     and 5 name an entry point the instrument has no use for and are skipped.
 *   - Words 0 to 0x3FFF are the boot area: the instrument never lets them be
 *     written, so they are only read back and compared with the file.
 *
 * Nothing is used unless the whole file is sound. Accepted line ends: LF and
 * CRLF, with or without a newline after the last line; empty lines are
 * skipped wherever they stand (they still count for line numbers). Hex digits
 * may be upper or lower case. Anything else outside a record is refused.
 */
class CHexFile
{
public:
    enum RecordKind { Data = 0, EndOfFile = 1, ExtendedLinearAddress = 4 };

    static constexpr quint32 BootAreaWords = 0x4000;
    static constexpr quint32 FlashWords = 0x28000;
    // One WriteWords request carries at most this many words.
    static constexpr int MaxWordsPerWrite = 127;
    // A full flash image as HEX text is about 1 MB; anything far larger is not firmware.
    static constexpr qint64 MaxFileBytes = 8 * 1024 * 1024;

    // One item per used record, in file order. A data record that crosses the
    // end of the boot area gives two items with the same line number.
    struct Item
    {
        int line = 0;          // 1-based line in the file
        int type = Data;       // Data, EndOfFile or ExtendedLinearAddress
        quint32 wordAddress = 0; // Data: absolute word address; ExtendedLinearAddress: the new base
        QByteArray bytes;      // Data: the record's data bytes as in the file (2 per word)

        int WordCount() const { return int(bytes.size() / 2); }
        quint16 Word(int i) const;
        QList<quint16> Words() const;
        bool InBootArea() const { return type == Data && wordAddress < BootAreaWords; }
    };

    // A run of words at one address: a boot-area read to compare, or a write.
    struct Block
    {
        int line = 0;
        quint32 wordAddress = 0;
        QByteArray bytes;

        int WordCount() const { return int(bytes.size() / 2); }
    };

    CHexFile() = default;

    // Reads and checks the file; false with ErrorString() set when it is refused.
    bool Load(const QString &path);
    // Checks HEX text held in memory; name is used in messages.
    bool Parse(const QByteArray &text, const QString &name = QString());

    bool IsValid() const { return m_valid; }
    // The whole refusal, naming the file and, where it applies, the line.
    QString ErrorString() const { return m_error; }
    // The line the refusal is about; 0 when it concerns the file as a whole.
    int ErrorLine() const { return m_errorLine; }
    // The refusal without the file name and line.
    QString ErrorReason() const { return m_reason; }

    // Lines of the file, the last one counted even without a newline.
    int LineCount() const { return m_lineCount; }
    const QList<Item> &Items() const { return m_items; }

    // Boot-area data in file order: what is read back from the instrument and compared.
    QList<Block> CompareBlocks() const;
    // Data above the boot area in file order, at most MaxWordsPerWrite words per block.
    QList<Block> WriteBlocks() const;
    // The boot area as the file gives it: 2 bytes per word, 0xFF where the file has nothing.
    QByteArray BootImage() const;
    // One boot-area word of the file; 0xFFFF where the file has nothing.
    quint16 BootWord(quint32 wordAddress) const;

private:
    bool Refuse(int line, const QString &reason);
    void Clear();

    QString m_name;
    bool m_valid = false;
    QString m_error;
    QString m_reason;
    int m_errorLine = 0;
    int m_lineCount = 0;
    QList<Item> m_items;
};
