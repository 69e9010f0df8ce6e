// Intel HEX firmware files: every refusal with its line, line ends, and the
// word-addressed items a sound file turns into.
#include "firmware/HexFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// One record with a correct checksum, upper case, no line end.
QByteArray Rec(int address, int type, const QByteArray &data)
{
    QByteArray bytes;
    bytes.append(char(data.size()));
    bytes.append(char(address >> 8));
    bytes.append(char(address & 0xFF));
    bytes.append(char(type));
    bytes.append(data);
    int sum = 0;
    for (char b : bytes)
        sum += quint8(b);
    bytes.append(char(-sum & 0xFF));
    return ':' + bytes.toHex().toUpper();
}

QByteArray Lines(const QList<QByteArray> &lines)
{
    return lines.join('\n') + '\n';
}

const QByteArray End = ":00000001FF";

QString DataPath(const QString &name)
{
    return qEnvironmentVariable("ALTAVO_TEST_DATA") + QStringLiteral("/hex/") + name;
}

} // namespace

class TestHexFile : public QObject
{
    Q_OBJECT

private slots:
    void refusals_data();
    void refusals();
    void fileProblems();
    void lineEnds_data();
    void lineEnds();
    void goodFileItems();
    void addressing_data();
    void addressing();
    void bootBoundarySplit();
    void identicalOverlapAccepted();
    void fullRecordIsOneWriteBlock();
};

void TestHexFile::refusals_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("reason");

    const QByteArray data4 = Rec(0x8000, 0, QByteArray::fromHex("01020304"));
    QByteArray badDigit = data4;
    badDigit[10] = 'G';
    QByteArray badChecksum = data4;
    badChecksum.chop(2);
    badChecksum += "00";

    QTest::newRow("no colon") << Lines({data4, End.mid(1)}) << 2 << "the line does not start with \":\"";
    QTest::newRow("leading blank") << Lines({' ' + data4, End}) << 1 << "the line does not start with \":\"";
    QTest::newRow("non-hex digit") << Lines({badDigit, End}) << 1
                                   << "character 11 (\"G\") is not a hexadecimal digit";
    QTest::newRow("blank inside") << Lines({":04 800000", End}) << 1
                                  << "character 4 (0x20) is not a hexadecimal digit";
    QTest::newRow("junk after checksum") << Lines({data4 + " ;boot", End}) << 1
                                         << "unexpected characters after the checksum";
    QTest::newRow("tab after end record") << Lines({data4, End + '\t'}) << 2
                                          << "unexpected characters after the checksum";
    QTest::newRow("colon only") << Lines({":", End}) << 1 << "the line is too short for a record";
    QTest::newRow("digit missing") << Lines({data4.chopped(1), End}) << 1
                                   << "the byte count 04 needs a line of 19 characters, not 18";
    QTest::newRow("extra byte") << Lines({data4 + "00", End}) << 1
                                << "the byte count 04 needs a line of 19 characters, not 21";
    QTest::newRow("checksum") << Lines({Rec(0, 4, QByteArray::fromHex("0000")), badChecksum, End}) << 2
                              << "wrong checksum 00 (the record needs 72)";
    QTest::newRow("unknown type") << Lines({Rec(0, 6, QByteArray()), End}) << 1 << "unknown record type 06";
    QTest::newRow("type 4 short") << Lines({Rec(0, 4, QByteArray::fromHex("01")), End}) << 1
                                  << "an extended linear address record must hold 2 data bytes, not 1";
    QTest::newRow("type 4 long") << Lines({Rec(0, 4, QByteArray::fromHex("00000001")), End}) << 1
                                 << "an extended linear address record must hold 2 data bytes, not 4";
    QTest::newRow("segment address") << Lines({Rec(0, 2, QByteArray::fromHex("1000")), End}) << 1
                                     << "extended segment address 1000 is not supported";
    QTest::newRow("start address short") << Lines({Rec(0, 5, QByteArray::fromHex("0000")), End}) << 1
                                         << "a start linear address record must hold 4 data bytes, not 2";
    QTest::newRow("end with data") << Lines({Rec(0, 1, QByteArray::fromHex("00"))}) << 1
                                   << "the end-of-file record must not hold data";
    QTest::newRow("odd address") << Lines({Rec(0x8001, 0, QByteArray::fromHex("0102")), End}) << 1
                                 << "a data record must start at an even byte address and hold whole 16-bit words";
    QTest::newRow("odd count") << Lines({Rec(0x8000, 0, QByteArray::fromHex("010203")), End}) << 1
                               << "a data record must start at an even byte address and hold whole 16-bit words";
    QTest::newRow("past segment") << Lines({Rec(0xFFFC, 0, QByteArray(8, 'x')), End}) << 1
                                  << "the data record runs past the end of its 64 KB segment";
    QTest::newRow("beyond flash") << Lines({Rec(0, 4, QByteArray::fromHex("0005")),
                                            Rec(0, 0, QByteArray::fromHex("0102")), End})
                                  << 2 << "data at word 0x28000 lies beyond the instrument's flash (last word 0x27FFF)";
    QTest::newRow("upper address byte") << Lines({Rec(0, 4, QByteArray::fromHex("0100")),
                                                  Rec(0, 0, QByteArray::fromHex("0102")), End})
                                        << 2
                                        << "data at word 0x800000 lies beyond the instrument's flash (last word 0x27FFF)";
    QTest::newRow("conflict") << Lines({Rec(0x8000, 0, QByteArray::fromHex("01020304")),
                                        Rec(0x8002, 0, QByteArray::fromHex("0304")),
                                        Rec(0x8002, 0, QByteArray::fromHex("0305")), End})
                              << 3 << "word 0x4001 is given as 0503 here but as 0403 on line 1";
    QTest::newRow("conflict via bank") << Lines({Rec(0, 4, QByteArray::fromHex("0001")),
                                                 Rec(0, 0, QByteArray::fromHex("1111")),
                                                 Rec(0, 4, QByteArray::fromHex("0000")),
                                                 Rec(0, 4, QByteArray::fromHex("0001")),
                                                 Rec(0, 0, QByteArray::fromHex("2222")), End})
                                       << 5 << "word 0x8000 is given as 2222 here but as 1111 on line 2";
    QTest::newRow("data after end") << Lines({End, "", Rec(0x8000, 0, QByteArray::fromHex("0102"))}) << 3
                                    << "data follows the end-of-file record of line 1";
    QTest::newRow("second end") << Lines({End, End}) << 2 << "data follows the end-of-file record of line 1";
    QTest::newRow("no end") << Lines({Rec(0x8000, 0, QByteArray::fromHex("0102")), ""}) << 2
                            << "the file ends without an end-of-file record";
    QTest::newRow("empty") << QByteArray() << 0 << "the file is empty";
    QTest::newRow("blank lines only") << QByteArray("\r\n\n\r\n") << 0 << "the file holds no records";
    QTest::newRow("binary") << QByteArray(":00000001FF\n\0\x01\x02", 15) << 0
                            << "the file holds binary data, not Intel HEX text";
    QTest::newRow("old Mac line ends") << QByteArray(":00000001FF\r:00000001FF\r") << 1
                                       << "unexpected characters after the checksum";
}

void TestHexFile::refusals()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(QString, reason);

    CHexFile hex;
    QVERIFY(!hex.Parse(text, QStringLiteral("probe.hex")));
    QVERIFY(!hex.IsValid());
    QCOMPARE(hex.ErrorReason(), reason);
    QCOMPARE(hex.ErrorLine(), line);
    QCOMPARE(hex.ErrorString(), line ? QStringLiteral("probe.hex, line %1: %2").arg(line).arg(reason)
                                     : QStringLiteral("probe.hex: %1").arg(reason));
    // Nothing of a refused file may reach the programming engine.
    QVERIFY(hex.Items().isEmpty());
    QVERIFY(hex.WriteBlocks().isEmpty());
    QVERIFY(hex.CompareBlocks().isEmpty());
}

void TestHexFile::fileProblems()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    CHexFile hex;

    const QString missing = dir.filePath(QStringLiteral("missing.hex"));
    QVERIFY(!hex.Load(missing));
    QCOMPARE(hex.ErrorString(), missing + QStringLiteral(": the file does not exist"));

    QVERIFY(!hex.Load(dir.path()));
    QCOMPARE(hex.ErrorString(), dir.path() + QStringLiteral(": this is a folder, not a file"));

    const QString huge = dir.filePath(QStringLiteral("huge.hex"));
    {
        QFile f(huge);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(CHexFile::MaxFileBytes + 1));
    }
    QVERIFY(!hex.Load(huge));
    QCOMPARE(hex.ErrorString(), huge + QStringLiteral(": the file is too large for a firmware image (8388609 bytes; at most 8388608)"));

    const QString empty = dir.filePath(QStringLiteral("empty.hex"));
    {
        QFile f(empty);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QVERIFY(!hex.Load(empty));
    QCOMPARE(hex.ErrorString(), empty + QStringLiteral(": the file is empty"));

    const QString damaged = DataPath(QStringLiteral("damaged.hex"));
    QVERIFY(!hex.Load(damaged));
    QCOMPARE(hex.ErrorString(), damaged + QStringLiteral(", line 6: wrong checksum 00 (the record needs EE)"));

    // A refusal after a good load leaves nothing of the earlier file behind.
    QVERIFY(hex.Load(DataPath(QStringLiteral("good.hex"))));
    QVERIFY(!hex.Parse(QByteArray(":0")));
    QVERIFY(hex.Items().isEmpty());
}

void TestHexFile::lineEnds_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("endLine");

    const QByteArray data = Rec(0x8000, 0, QByteArray::fromHex("0102"));
    QTest::newRow("LF") << data + '\n' + End + '\n' << 2 << 2;
    QTest::newRow("CRLF") << data + "\r\n" + End + "\r\n" << 2 << 2;
    QTest::newRow("no final newline") << data + '\n' + End << 2 << 2;
    QTest::newRow("blank lines around") << "\r\n" + data + "\n\n" + End + "\r\n\r\n\n" << 6 << 4;
    QTest::newRow("lower case") << data.toLower() + '\n' + End << 2 << 2;
}

void TestHexFile::lineEnds()
{
    QFETCH(QByteArray, text);
    QFETCH(int, lines);
    QFETCH(int, endLine);

    CHexFile hex;
    QVERIFY2(hex.Parse(text), qPrintable(hex.ErrorString()));
    QCOMPARE(hex.LineCount(), lines);
    QCOMPARE(hex.Items().size(), 2);
    QCOMPARE(hex.Items()[0].Words(), QList<quint16>{0x0201});
    QCOMPARE(hex.Items()[1].type, int(CHexFile::EndOfFile));
    QCOMPARE(hex.Items()[1].line, endLine);
}

void TestHexFile::goodFileItems()
{
    CHexFile hex;
    QVERIFY2(hex.Load(DataPath(QStringLiteral("good.hex"))), qPrintable(hex.ErrorString()));
    QCOMPARE(hex.LineCount(), 8);

    // The start-address record of line 7 queues nothing and is not listed.
    struct Expected
    {
        int line;
        int type;
        quint32 word;
        QList<quint16> words;
    };
    const QList<Expected> expected{
        {1, CHexFile::ExtendedLinearAddress, 0x0000, {}},
        {2, CHexFile::Data, 0x2000, {0x0201, 0x0403}},
        {4, CHexFile::Data, 0x4000, {0x1110, 0x1312, 0x1514, 0x1716, 0x1918, 0x1B1A, 0x1D1C, 0x1F1E}},
        {5, CHexFile::ExtendedLinearAddress, 0x8000, {}},
        {6, CHexFile::Data, 0x8000, {0xBBAA, 0xDDCC}},
        {8, CHexFile::EndOfFile, 0, {}},
    };
    const auto &items = hex.Items();
    QCOMPARE(items.size(), expected.size());
    for (int i = 0; i < items.size(); ++i) {
        QCOMPARE(items[i].line, expected[i].line);
        QCOMPARE(items[i].type, expected[i].type);
        QCOMPARE(items[i].wordAddress, expected[i].word);
        QCOMPARE(items[i].Words(), expected[i].words);
    }
    // The bytes go on the wire as the file holds them.
    QCOMPARE(items[4].bytes, QByteArray::fromHex("AABBCCDD"));

    const auto compare = hex.CompareBlocks();
    QCOMPARE(compare.size(), 1);
    QCOMPARE(compare[0].wordAddress, 0x2000u);
    QCOMPARE(compare[0].line, 2);

    const auto writes = hex.WriteBlocks();
    QCOMPARE(writes.size(), 2);
    QCOMPARE(writes[0].wordAddress, 0x4000u);
    QCOMPARE(writes[0].WordCount(), 8);
    QCOMPARE(writes[1].wordAddress, 0x8000u);

    const QByteArray boot = hex.BootImage();
    QCOMPARE(boot.size(), 2 * int(CHexFile::BootAreaWords));
    QCOMPARE(boot.mid(0x4000 - 2, 8), QByteArray::fromHex("FFFF01020304FFFF"));
    QCOMPARE(boot.count(char(0xFF)), boot.size() - 4);
    QCOMPARE(hex.BootWord(0x2001), quint16(0x0403));
    QCOMPARE(hex.BootWord(0x2002), quint16(0xFFFF));
}

void TestHexFile::addressing_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<quint32>("word");
    QTest::addColumn<int>("words");
    QTest::addColumn<bool>("boot");

    QTest::newRow("byte 4000 is boot word 2000")
        << Lines({Rec(0x4000, 0, QByteArray(2, '\x11')), End}) << 0x2000u << 1 << true;
    QTest::newRow("last boot word") << Lines({Rec(0x7FFE, 0, QByteArray(2, '\x11')), End}) << 0x3FFFu << 1 << true;
    QTest::newRow("first written word") << Lines({Rec(0x8000, 0, QByteArray(2, '\x11')), End}) << 0x4000u << 1 << false;
    QTest::newRow("bank 1 byte 0 is word 8000")
        << Lines({Rec(0, 4, QByteArray::fromHex("0001")), Rec(0, 0, QByteArray(2, '\x11')), End}) << 0x8000u << 1
        << false;
    QTest::newRow("LL 10 gives 8 words") << Lines({Rec(0x9000, 0, QByteArray(16, '\x22')), End}) << 0x4800u << 8
                                         << false;
    QTest::newRow("last flash word")
        << Lines({Rec(0, 4, QByteArray::fromHex("0004")), Rec(0xFFFE, 0, QByteArray(2, '\x11')), End}) << 0x27FFFu
        << 1 << false;
}

void TestHexFile::addressing()
{
    QFETCH(QByteArray, text);
    QFETCH(quint32, word);
    QFETCH(int, words);
    QFETCH(bool, boot);

    CHexFile hex;
    QVERIFY2(hex.Parse(text), qPrintable(hex.ErrorString()));
    QList<CHexFile::Item> data;
    for (const auto &item : hex.Items())
        if (item.type == CHexFile::Data)
            data.append(item);
    QCOMPARE(data.size(), 1);
    QCOMPARE(data[0].wordAddress, word);
    QCOMPARE(data[0].WordCount(), words);
    QCOMPARE(data[0].InBootArea(), boot);
    QCOMPARE(hex.CompareBlocks().size(), boot ? 1 : 0);
    QCOMPARE(hex.WriteBlocks().size(), boot ? 0 : 1);
}

void TestHexFile::bootBoundarySplit()
{
    // Words 3FFE..4001: the boot part is compared, the rest written; no word is lost.
    CHexFile hex;
    QVERIFY2(hex.Parse(Lines({Rec(0x7FFC, 0, QByteArray::fromHex("0102030405060708")), End})),
             qPrintable(hex.ErrorString()));
    const auto compare = hex.CompareBlocks();
    const auto writes = hex.WriteBlocks();
    QCOMPARE(compare.size(), 1);
    QCOMPARE(compare[0].wordAddress, 0x3FFEu);
    QCOMPARE(compare[0].bytes, QByteArray::fromHex("01020304"));
    QCOMPARE(writes.size(), 1);
    QCOMPARE(writes[0].wordAddress, 0x4000u);
    QCOMPARE(writes[0].bytes, QByteArray::fromHex("05060708"));
    QCOMPARE(writes[0].line, 1);
    QCOMPARE(hex.BootImage().right(4), QByteArray::fromHex("01020304"));
}

void TestHexFile::identicalOverlapAccepted()
{
    // Tools that emit a word twice with the same value produce a sound file.
    CHexFile hex;
    QVERIFY2(hex.Parse(Lines({Rec(0x8000, 0, QByteArray::fromHex("01020304")),
                              Rec(0x8002, 0, QByteArray::fromHex("0304")), End})),
             qPrintable(hex.ErrorString()));
    QCOMPARE(hex.WriteBlocks().size(), 2);
}

void TestHexFile::fullRecordIsOneWriteBlock()
{
    CHexFile hex;
    QVERIFY2(hex.Parse(Lines({Rec(0x8000, 0, QByteArray(254, '\x5A')), End})), qPrintable(hex.ErrorString()));
    const auto writes = hex.WriteBlocks();
    QCOMPARE(writes.size(), 1);
    QCOMPARE(writes[0].WordCount(), CHexFile::MaxWordsPerWrite);
}

QTEST_GUILESS_MAIN(TestHexFile)
#include "tst_hexfile.moc"
