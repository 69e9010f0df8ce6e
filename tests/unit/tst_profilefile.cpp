// Profile files: matching, trimming and cutting on read; in-place editing,
// line endings and structures on write; failed loads and saves.
#include "platform/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {
void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

const QString NoValue = QStringLiteral("<default>");
} // namespace

class TestProfileFile : public QObject
{
    Q_OBJECT
private slots:
    void read_data();
    void read();
    void getInt_data();
    void getInt();
    void leadingReal_data();
    void leadingReal();
    void write_data();
    void write();
    void structRoundTrip();
    void structRejected_data();
    void structRejected();
    void missingFile();
    void saveFailureKeepsOldFile_data();
    void saveFailureKeepsOldFile();
    void fileFunctions();
};

void TestProfileFile::read_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QByteArray longValue = QByteArray(300, 'x');
    QTest::newRow("case-blind section and key") << QByteArray("[Sensors]\r\nCalDac0=12\r\n") << "SENSORS" << "caldac0" << "12";
    QTest::newRow("blanks around key, value and section") << QByteArray(" [ Sensors ]\n  CalDac0 \t=  a b \t\n") << "Sensors" << "CalDac0" << "a b";
    QTest::newRow("LF endings") << QByteArray("[A]\nx=1\n[B]\nx=2\n") << "B" << "x" << "2";
    QTest::newRow("CR endings") << QByteArray("[A]\rx=1\r[B]\rx=2\r") << "B" << "x" << "2";
    QTest::newRow("no final line ending") << QByteArray("[A]\r\nx=last") << "A" << "x" << "last";
    QTest::newRow("value holding =") << QByteArray("[A]\nx=a=b\n") << "A" << "x" << "a=b";
    QTest::newRow("empty value is not the default") << QByteArray("[A]\nx=\n") << "A" << "x" << "";
    QTest::newRow("missing key") << QByteArray("[A]\nx=1\n") << "A" << "y" << NoValue;
    QTest::newRow("missing section") << QByteArray("[A]\nx=1\n") << "B" << "x" << NoValue;
    QTest::newRow("key of the next section") << QByteArray("[A]\n[B]\nx=1\n") << "A" << "x" << NoValue;
    QTest::newRow("comment line") << QByteArray("[A]\n;x=1\n") << "A" << "x" << NoValue;
    QTest::newRow("key before any section") << QByteArray("x=1\n[A]\n") << "A" << "x" << NoValue;
    QTest::newRow("only the first of a section") << QByteArray("[A]\nx=1\n[a]\ny=2\n") << "A" << "y" << NoValue;
    QTest::newRow("first of a duplicated key") << QByteArray("[A]\nx=1\nX=2\n") << "A" << "x" << "1";
    QTest::newRow("unclosed section header") << QByteArray("[A]\n[B\nx=1\n") << "A" << "x" << "1";
    QTest::newRow("cut to 255 after trimming") << "[A]\nx=   " + longValue + "  \n" << "A" << "x" << QString(255, QLatin1Char('x'));
    QTest::newRow("NUL and high bytes are text") << QByteArray("[A]\nx=a\0\xA0\xFFz\n", 12) << "A" << "x" << QString::fromLatin1("a\0\xA0\xFFz", 5);
    QTest::newRow("default for a limits key") << QByteArray("[Main PCB Test]\n") << "Main PCB Test" << "TC Span" << "0 0";
}

void TestProfileFile::read()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("read.ini"));
    WriteBytes(path, file);
    CProfileFile profile;
    QVERIFY2(profile.Load(path), qPrintable(profile.ErrorString()));
    const QString def = expected == QLatin1String("0 0") ? expected : NoValue;
    QCOMPARE(profile.GetString(section, key, def), expected);
}

void TestProfileFile::getInt_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("expected");

    QTest::newRow("plain") << QByteArray("x=185") << 185;
    QTest::newRow("sign and trailing text") << QByteArray("x=  -7 days") << -7;
    QTest::newRow("plus sign") << QByteArray("x=+12") << 12;
    QTest::newRow("no number gives 0") << QByteArray("x=***") << 0;
    QTest::newRow("empty gives the default") << QByteArray("x=") << 42;
    QTest::newRow("missing gives the default") << QByteArray("y=1") << 42;
    QTest::newRow("too large") << QByteArray("x=99999999999") << std::numeric_limits<int>::max();
    QTest::newRow("too small") << QByteArray("x=-99999999999") << std::numeric_limits<int>::min();
}

void TestProfileFile::getInt()
{
    QFETCH(QByteArray, value);
    QFETCH(int, expected);

    CProfileFile profile;
    profile.LoadFromBytes("[A]\n" + value + "\n");
    QCOMPARE(profile.GetInt(QStringLiteral("A"), QStringLiteral("x"), 42), expected);
}

void TestProfileFile::leadingReal_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("real") << " 23.5" << 23.5;
    QTest::newRow("exponent and tail") << "-2.5e2V" << -250.0;
    QTest::newRow("point first") << ".25" << 0.25;
    QTest::newRow("limits pair") << "0.5 1.5" << 0.5;
    QTest::newRow("no number") << "nan" << 0.0;
    QTest::newRow("overflow") << "1e999" << std::numeric_limits<double>::max();
    QTest::newRow("underflow") << "0.0001e-999" << 0.0;
}

void TestProfileFile::leadingReal()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(CProfileFile::LeadingReal(text), expected);
}

void TestProfileFile::write_data()
{
    QTest::addColumn<QByteArray>("before"); // null: no file yet
    QTest::addColumn<QStringList>("writes"); // section, key, value triples
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("replace in place, keep comment and order")
        << QByteArray("[Sensors]\r\n; bench copy\r\n  CalDac0 = 12\r\nCalDac1=7\r\n")
        << QStringList{"SENSORS", "caldac0", "99"}
        << QByteArray("[Sensors]\r\n; bench copy\r\nCalDac0=99\r\nCalDac1=7\r\n");
    QTest::newRow("new key before the blank line ending its section")
        << QByteArray("[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n")
        << QStringList{"a", "z", "3"}
        << QByteArray("[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n");
    QTest::newRow("new section at the end, LF kept")
        << QByteArray("[A]\nx=1")
        << QStringList{"B", "y", "2"}
        << QByteArray("[A]\nx=1\n\n[B]\ny=2\n");
    QTest::newRow("fresh file: sections in write order, CR LF")
        << QByteArray()
        << QStringList{"S1", "a", "1", "S2", "b", "2", "s1", "c", "3"}
        << QByteArray("[S1]\r\na=1\r\nc=3\r\n\r\n[S2]\r\nb=2\r\n");
    QTest::newRow("first of duplicated sections")
        << QByteArray("[A]\nx=1\n[A]\nx=2\n")
        << QStringList{"A", "x", "5"}
        << QByteArray("[A]\nx=5\n[A]\nx=2\n");
    QTest::newRow("first line ending used throughout")
        << QByteArray("[A]\r\nx=1\ny=2\r")
        << QStringList{"A", "x", "3"}
        << QByteArray("[A]\r\nx=3\r\ny=2\r\n");
    QTest::newRow("line break in a value cannot forge a key")
        << QByteArray()
        << QStringList{"A", "id", "ab\r\n[B]\nx=1"}
        << QByteArray("[A]\r\nid=ab  [B] x=1\r\n");
}

void TestProfileFile::write()
{
    QFETCH(QByteArray, before);
    QFETCH(QStringList, writes);
    QFETCH(QByteArray, after);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("options.kvo"));
    if (!before.isNull())
        WriteBytes(path, before);
    CProfileFile profile;
    QVERIFY2(profile.Load(path, CProfileFile::Missing::Empty), qPrintable(profile.ErrorString()));
    for (qsizetype i = 0; i + 2 < writes.size(); i += 3)
        profile.WriteString(writes[i], writes[i + 1], writes[i + 2]);
    QVERIFY2(profile.Save(), qPrintable(profile.ErrorString()));
    QCOMPARE(ReadBytes(path), after);
}

void TestProfileFile::structRoundTrip()
{
    QByteArray block(64, '\0');
    unsigned sum = 0;
    for (int i = 0; i < block.size(); ++i) {
        block[i] = char(0xC0 + i * 7);
        sum += quint8(block[i]);
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("options.kvo"));
    CProfileFile profile;
    profile.WriteStruct(QStringLiteral("Binary"), QStringLiteral("TimeKeeper"), block);
    QVERIFY2(profile.SaveAs(path), qPrintable(profile.ErrorString()));

    CProfileFile reread;
    QVERIFY(reread.Load(path));
    const QString text = reread.GetString(QStringLiteral("binary"), QStringLiteral("timekeeper"));
    QCOMPARE(text, QString::fromLatin1(block.toHex().toUpper()) + QStringLiteral("%1").arg(sum & 0xFF, 2, 16, QLatin1Char('0')).toUpper());
    QByteArray back;
    QVERIFY(reread.GetStruct(QStringLiteral("Binary"), QStringLiteral("TimeKeeper"), back, 64));
    QCOMPARE(back, block);
}

void TestProfileFile::structRejected_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("accepted");

    // 01 02 FF sum to 0x102: checksum byte 02.
    QTest::newRow("good") << QByteArray("0102FF02") << 3 << true;
    QTest::newRow("lower-case digits") << QByteArray("0102ff02") << 3 << true;
    QTest::newRow("wrong checksum") << QByteArray("0102FF03") << 3 << false;
    QTest::newRow("one byte short") << QByteArray("0102FF02") << 4 << false;
    QTest::newRow("one byte long") << QByteArray("0102FF02") << 2 << false;
    QTest::newRow("odd digit count") << QByteArray("0102FF020") << 3 << false;
    QTest::newRow("not hex") << QByteArray("01G2FF02") << 3 << false;
    QTest::newRow("empty") << QByteArray("") << 0 << false;
}

void TestProfileFile::structRejected()
{
    QFETCH(QByteArray, value);
    QFETCH(int, size);
    QFETCH(bool, accepted);

    CProfileFile profile;
    profile.LoadFromBytes("[Binary]\r\nTimeKeeper=" + value + "\r\n");
    QByteArray bytes("untouched");
    QCOMPARE(profile.GetStruct(QStringLiteral("Binary"), QStringLiteral("TimeKeeper"), bytes, size), accepted);
    if (accepted)
        QCOMPARE(bytes, QByteArray::fromHex(value).left(size));
    else
        QCOMPARE(bytes, QByteArray("untouched"));
}

void TestProfileFile::missingFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PCBTest.ini"));
    CProfileFile profile;
    QVERIFY(!profile.Load(path));
    QVERIFY2(profile.ErrorString().contains(QDir::toNativeSeparators(path)), qPrintable(profile.ErrorString()));
    QCOMPARE(profile.GetString(QStringLiteral("Main PCB Test"), QStringLiteral("Power On Current"), QStringLiteral("0 0")),
             QStringLiteral("0 0"));
    QCOMPARE(profile.GetInt(QStringLiteral("Main PCB Test"), QStringLiteral("Power On Current"), 0), 0);
    QCOMPARE(CProfileFile::GetFileString(path, QStringLiteral("A"), QStringLiteral("x"), QStringLiteral("d")),
             QStringLiteral("d"));

    QVERIFY(profile.Load(path, CProfileFile::Missing::Empty));
    QVERIFY(profile.ToBytes().isEmpty());
    QVERIFY(!QFile::exists(path));

    // A folder in place of the file is not "missing": it must not be taken
    // for an empty document that a later save would write over.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.ini")));
    const QString folder = dir.filePath(QStringLiteral("folder.ini"));
    QVERIFY(!profile.Load(folder, CProfileFile::Missing::Empty));
    QVERIFY2(profile.ErrorString().contains(QDir::toNativeSeparators(folder)), qPrintable(profile.ErrorString()));
}

void TestProfileFile::saveFailureKeepsOldFile_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("path is a folder") << "folder";
    QTest::newRow("parent is a file") << "parent file";
    QTest::newRow("read-only folder") << "read-only";
#ifdef Q_OS_UNIX
    QTest::newRow("disk refuses half way") << "size limit";
#endif
}

void TestProfileFile::saveFailureKeepsOldFile()
{
    QFETCH(QString, obstacle);

    QTemporaryDir dir;
    const QByteArray old("[Sensors]\r\nCalDac0=12\r\n");
    QString path = dir.filePath(QStringLiteral("options.kvo"));
    if (obstacle == QLatin1String("folder")) {
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("options.kvo/inside")));
    } else if (obstacle == QLatin1String("parent file")) {
        WriteBytes(path, old);
        path = dir.filePath(QStringLiteral("options.kvo/options.kvo"));
    } else if (obstacle == QLatin1String("read-only")) {
#ifdef Q_OS_UNIX
        if (geteuid() == 0)
            QSKIP("the superuser writes into read-only folders");
#else
        QSKIP("a folder's read-only attribute does not stop new files on Windows");
#endif
        WriteBytes(path, old);
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    } else {
        WriteBytes(path, old);
    }

    CProfileFile profile;
    profile.LoadFromBytes(old);
    profile.WriteString(QStringLiteral("Datalog Features"), QStringLiteral("InstrumentID"), QString(200, QLatin1Char('I')));
    bool saved = false;
#ifdef Q_OS_UNIX
    if (obstacle == QLatin1String("size limit")) {
        // The temporary copy hits the file-size limit part way through its
        // content; the process must see the write error, not be killed.
        rlimit original {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &original), 0);
        rlimit small = original;
        small.rlim_cur = 64;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        saved = profile.SaveAs(path);
        setrlimit(RLIMIT_FSIZE, &original);
        std::signal(SIGXFSZ, oldHandler);
    } else
#endif
    {
        saved = profile.SaveAs(path);
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QVERIFY(!saved);
    QVERIFY2(profile.ErrorString().contains(QDir::toNativeSeparators(path)), qPrintable(profile.ErrorString()));
    QVERIFY(profile.FilePath().isEmpty());
    const QString oldFile = dir.filePath(QStringLiteral("options.kvo"));
    if (obstacle != QLatin1String("folder"))
        QCOMPARE(ReadBytes(oldFile), old);
    // Nothing half written is left beside the old file.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QStringLiteral("options.kvo")});
}

void TestProfileFile::fileFunctions()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PCBTest.ini"));
    WriteBytes(path, "; limits for the test box\n[Main PCB Test]\nTC Span=0.5 1.5\n");
    QString error;
    QVERIFY2(CProfileFile::WriteFileString(path, QStringLiteral("Main PCB Test"), QStringLiteral("TC Offset"),
                                           QStringLiteral("-0.1 0.1"), &error), qPrintable(error));
    QVERIFY2(CProfileFile::WriteFileStruct(path, QStringLiteral("Binary"), QStringLiteral("Block"),
                                           QByteArray("\x01\x02", 2), &error), qPrintable(error));
    QCOMPARE(ReadBytes(path), QByteArray("; limits for the test box\n[Main PCB Test]\nTC Span=0.5 1.5\n"
                                         "TC Offset=-0.1 0.1\n\n[Binary]\nBlock=010203\n"));
    QCOMPARE(CProfileFile::GetFileString(path, QStringLiteral("main pcb test"), QStringLiteral("tc span")),
             QStringLiteral("0.5 1.5"));
    QCOMPARE(CProfileFile::GetFileInt(path, QStringLiteral("Binary"), QStringLiteral("Block"), -1), 10203);
}

QTEST_GUILESS_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
