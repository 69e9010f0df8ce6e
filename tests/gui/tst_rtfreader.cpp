// The reader of the help text's rich-text format: what it keeps, what it
// skips, and that damaged input never reads outside its bytes.
#include "app/RtfReader.h"

#include <QFont>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

class TestRtfReader : public QObject
{
    Q_OBJECT
private slots:
    void rtfReader_data();
    void rtfReader();
    void rtfFormats();
};

void TestRtfReader::rtfReader_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");

    QTest::newRow("paragraphs") << QByteArray("{\\rtf1 One\\par Two\\par}") << QString("One\nTwo");
    QTest::newRow("font table and generator skipped")
        << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}}{\\*\\generator Writer;}\\f0 Hi\\par}") << QString("Hi");
    QTest::newRow("colour table skipped") << QByteArray("{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}\\cf1 Red\\par}") << QString("Red");
    QTest::newRow("escapes") << QByteArray("{\\rtf1 a\\{b\\}c\\\\d\\tab e\\par}") << QString("a{b}c\\d\te");
    QTest::newRow("hex and unicode") << QByteArray("{\\rtf1 caf\\'e9 \\u8364?5\\par}") << QString::fromUtf8("caf\xc3\xa9 \xe2\x82\xac" "5");
    QTest::newRow("negative unicode") << QByteArray("{\\rtf1\\uc2 \\u-3937XYz\\par}") << QString(QChar(0xF09F)) + "z";
    QTest::newRow("quotes and dashes") << QByteArray("{\\rtf1 \\ldblquote x\\rdblquote \\endash\\emdash\\bullet\\par}")
                                       << QString::fromUtf8("\xe2\x80\x9cx\xe2\x80\x9d\xe2\x80\x93\xe2\x80\x94\xe2\x80\xa2");
    QTest::newRow("picture skipped") << QByteArray("{\\rtf1 A{\\pict\\wmetafile8 0102ff}B\\par}") << QString("AB");
    QTest::newRow("unterminated") << QByteArray("{\\rtf1 {\\b bold") << QString("bold");
    QTest::newRow("hex cut short") << QByteArray("{\\rtf1 x\\'e") << QString("x");
    QTest::newRow("binary past the end") << QByteArray("{\\rtf1 x\\bin99999 abc") << QString("x");
    QTest::newRow("line break in source") << QByteArray("{\\rtf1 one\r\ntwo\\\ntree}") << QString("onetwo\ntree");
    QTest::newRow("deep groups") << QByteArray(600, '{').prepend("{\\rtf1 ").append("deep") << QString("deep");
}

void TestRtfReader::rtfReader()
{
    QFETCH(QByteArray, rtf);
    QTextDocument doc;
    QVERIFY(CRtfReader::Read(rtf, &doc));
    QTEST(doc.toPlainText(), "text");
}

void TestRtfReader::rtfFormats()
{
    const QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fmodern Courier New;}}"
                           "{\\pard\\outlinelevel0\\qc\\fs36\\b Title\\par}"
                           "\\pard\\li720\\fs20 plain {\\i italic} {\\b0 \\ul under}\\par"
                           "\\f1 code\\par}";
    QTextDocument doc;
    QVERIFY(CRtfReader::Read(rtf, &doc));
    QCOMPARE(doc.blockCount(), 3);
    const QTextBlock title = doc.firstBlock();
    QCOMPARE(title.text(), QString("Title"));
    QCOMPARE(title.blockFormat().headingLevel(), 1);
    QCOMPARE(title.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QCOMPARE(title.begin().fragment().charFormat().fontWeight(), int(QFont::Bold));
    QCOMPARE(title.begin().fragment().charFormat().fontPointSize(), 18.0);

    const QTextBlock body = title.next();
    QCOMPARE(body.blockFormat().headingLevel(), 0);
    QCOMPARE(body.blockFormat().leftMargin(), 48.0); // half an inch
    QStringList italic, underlined;
    for (auto it = body.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        QCOMPARE(f.charFormat().fontPointSize(), 10.0);
        QCOMPARE(f.charFormat().fontWeight(), int(QFont::Normal));
        if (f.charFormat().fontItalic())
            italic << f.text();
        if (f.charFormat().fontUnderline())
            underlined << f.text();
    }
    QCOMPARE(italic, QStringList{"italic"});
    QCOMPARE(underlined, QStringList{"under"});

    const QTextBlock code = body.next();
    QVERIFY(code.begin().fragment().charFormat().fontFixedPitch());
    QVERIFY(code.begin().fragment().charFormat().fontFamilies().toStringList().contains("Courier New"));

    QTextDocument untouched;
    untouched.setPlainText("keep");
    QString error;
    QVERIFY(!CRtfReader::Read("plain text", &untouched, &error));
    QCOMPARE(untouched.toPlainText(), QString("keep"));
    QVERIFY(!error.isEmpty());
}

QTEST_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
