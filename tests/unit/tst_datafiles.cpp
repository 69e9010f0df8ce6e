// The program's own files in a build folder (beside the program) and in an
// installed layout (bin/ and share/altavo-view/).
#include "platform/DataFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
void Touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
}
} // namespace

class TestDataFiles : public QObject
{
    Q_OBJECT
private slots:
    void found_data();
    void found();
};

void TestDataFiles::found_data()
{
    QTest::addColumn<QStringList>("present"); // relative to the root; the program is in bin/
    QTest::addColumn<QString>("expected");
    QTest::newRow("installed") << QStringList{"share/altavo-view/help.rtf"} << "share/altavo-view/help.rtf";
    QTest::newRow("build folder") << QStringList{"bin/help.rtf"} << "bin/help.rtf";
    QTest::newRow("beside the program first") << QStringList{"bin/help.rtf", "share/altavo-view/help.rtf"} << "bin/help.rtf";
    QTest::newRow("nowhere: named beside the program") << QStringList{} << "bin/help.rtf";
    QTest::newRow("another program's share folder is not ours") << QStringList{"share/other/help.rtf"} << "bin/help.rtf";
}

void TestDataFiles::found()
{
    QFETCH(QStringList, present);
    QFETCH(QString, expected);
    QTemporaryDir root;
    QDir().mkpath(root.filePath(QStringLiteral("bin")));
    for (const QString &file : present)
        Touch(root.filePath(file));
    QCOMPARE(CDataFiles::Locate(QStringLiteral("help.rtf"), root.filePath(QStringLiteral("bin"))), root.filePath(expected));
}

QTEST_GUILESS_MAIN(TestDataFiles)
#include "tst_datafiles.moc"
