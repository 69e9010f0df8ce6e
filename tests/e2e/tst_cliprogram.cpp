// altavo-cli program and wizard against altavo-sim on a pseudo-terminal: a
// generated firmware image lands in the instrument word for word; a damaged
// file sends nothing; a boot-area mismatch stops the run; the wizard's choices.
#include "HexText.h"
#include "ProgramRuns.h"
#include "Simulator.h"
#include "document/InstrumentDoc.h"
#include "document/InstrumentIdentity.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

using Blocks = HexWordBlocks;

// A firmware image for the simulated instrument: its own boot-loader words
// to compare, code below the first sector and in the code sector.
Blocks Firmware(quint16 bootChange = 0)
{
    const CSimInstrument model;
    QList<quint16> boot;
    for (quint32 w = 0; w < 64; ++w)
        boot.append(model.Word(w));
    boot[10] ^= bootChange;
    QList<quint16> low, code;
    for (int i = 0; i < 700; ++i)
        low.append(quint16(0x3000 + 13 * i));
    for (int i = 0; i < 300; ++i)
        code.append(quint16(0x9100 ^ (i * 0x0101)));
    return {{0x0000, boot}, {0x4000, low}, {0x8000, code}, {0x9000, {0xC0DE}}};
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TestCliProgram : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void programLandsWordForWord();
    void damagedFileSendsNothing();
    void bootMismatchStops();
    void wizardSetsUpInstrument_data();
    void wizardSetsUpInstrument();
    void usage_data();
    void usage();

private:
    CliRun Cli(const QStringList &command);
    QString Image(const QString &name, const QByteArray &text);

    QTemporaryDir m_dir;
    std::unique_ptr<QTemporaryDir> m_settings; // fresh serial-number counters for every test
    std::unique_ptr<CSimProcess> m_sim;
};

void TestCliProgram::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("ALTAVO_SIM") || qEnvironmentVariableIsEmpty("ALTAVO_CLI"))
        QSKIP("ALTAVO_SIM and ALTAVO_CLI name the programs; run through ctest");
    QVERIFY(m_dir.isValid());
}

void TestCliProgram::init()
{
    // A fresh instrument for every test; --trace lists every request it gets.
    m_sim = std::make_unique<CSimProcess>();
    QVERIFY(m_sim->Start({QStringLiteral("--pty"), QStringLiteral("--trace")}));
    m_sim->Process().readAllStandardError();
    m_settings = std::make_unique<QTemporaryDir>();
}

void TestCliProgram::cleanup()
{
    m_sim.reset();
}

CliRun TestCliProgram::Cli(const QStringList &command)
{
    // Fresh serial-number counters for every test.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_settings->path());
    return RunCli(QStringList{QStringLiteral("--serial"), m_sim->Pty()} + command, environment, 60000);
}

QString TestCliProgram::Image(const QString &name, const QByteArray &text)
{
    const QString path = m_dir.filePath(name);
    return WriteFile(path, text) ? path : QString();
}

void TestCliProgram::programLandsWordForWord()
{
    const Blocks image = Firmware();
    const CliRun run = Cli({QStringLiteral("program"), Image(QStringLiteral("fw.hex"), HexWordImage(image))});
    QVERIFY2(run.status == 0, qPrintable(Describe(run)));
    QVERIFY2(run.out.contains(QLatin1String("serial number 1 (00000001)")), qPrintable(run.out));
    QVERIFY2(run.err.contains(QRegularExpression(QStringLiteral("Programming (\\d+)/\\1\\n"))), qPrintable(run.err));
    QVERIFY(!run.err.contains(QLatin1String("Mismatched ROM")));

    // Read the instrument back through the serial line and compare.
    CInstrumentDoc doc(CClock::System());
    QVERIFY2(doc.Link().OpenSerialDevice(m_sim->Pty()) == 1, qPrintable(doc.Link().LastError()));
    const Blocks around = {{0x4000 + 700, {0xFFFF, 0xFFFF}}, {0xC003, {}}};
    for (const auto &[first, words] : image + around) {
        const int count = qMax(int(words.size()), 8);
        for (int i = 0; i < count; i += 100)
            doc.ReadWords(first + quint32(i), qMin(100, count - i));
    }
    QDeadlineTimer deadline(30000);
    while (!doc.Link().IsIdle() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QVERIFY(doc.Link().IsIdle());
    for (const auto &[first, words] : image + around) {
        for (int i = 0; i < words.size(); ++i) {
            if (doc.Words().Word(first + quint32(i)) != words[i])
                QFAIL(qPrintable(QStringLiteral("word %1 holds %2, the file gives %3")
                                     .arg(first + quint32(i), 0, 16)
                                     .arg(doc.Words().Word(first + quint32(i)), 0, 16)
                                     .arg(words[i], 0, 16)));
        }
    }
    QCOMPARE(doc.Identity().SerialNumber(), 1u);
}

void TestCliProgram::damagedFileSendsNothing()
{
    QByteArray text = HexWordImage(Firmware());
    const qsizetype line3 = text.indexOf('\n', text.indexOf('\n') + 1) + 1;
    text[line3 + 12] = text[line3 + 12] == 'A' ? 'B' : 'A'; // a data digit of line 3: the checksum no longer fits
    const QString path = Image(QStringLiteral("damaged.hex"), text);
    const CliRun run = Cli({QStringLiteral("program"), path});
    QCOMPARE(run.status, 5);
    QVERIFY2(run.err.contains(path + QStringLiteral(", line 3: wrong checksum")), qPrintable(run.err));
    QVERIFY(run.err.contains(QLatin1String("nothing was sent")));
    QTest::qWait(100);
    QCOMPARE(m_sim->Process().readAllStandardError(), QByteArray());
}

void TestCliProgram::bootMismatchStops()
{
    const CliRun run = Cli({QStringLiteral("program"), Image(QStringLiteral("other.hex"), HexWordImage(Firmware(0x0100)))});
    QCOMPARE(run.status, 1);
    const CSimInstrument model;
    const QString line = QStringLiteral("000A\t%1\t%2")
                             .arg(model.Word(10), 4, 16, QLatin1Char('0'))
                             .arg(quint16(model.Word(10) ^ 0x0100), 4, 16, QLatin1Char('0'))
                             .toUpper();
    QVERIFY2(run.err.contains(QStringLiteral("Mismatched ROM\n\nADDR\tROM\tHEX\n") + line), qPrintable(run.err));
    QVERIFY(!run.out.contains(QLatin1String("serial number")));

    // A good file afterwards programs the instrument as usual.
    const CliRun again = Cli({QStringLiteral("program"), Image(QStringLiteral("fw.hex"), HexWordImage(Firmware()))});
    QVERIFY2(again.status == 0, qPrintable(Describe(again)));
}

void TestCliProgram::wizardSetsUpInstrument_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("configuration");
    QTest::newRow("48 by number") << "48" << "-01 %LEL HEX";
    QTest::newRow("49 by list position") << "2" << "-02 %LEL HEX";
}

void TestCliProgram::wizardSetsUpInstrument()
{
    QFETCH(QString, model);
    QFETCH(QString, configuration);
    const QString path = Image(QStringLiteral("fw.hex"), HexWordImage(Firmware()));
    const CliRun run = Cli({QStringLiteral("wizard"), QStringLiteral("--model"), model, path});
    QVERIFY2(run.status == 0, qPrintable(Describe(run)));
    QVERIFY(run.out.contains(QStringLiteral("Configuration:      ") + configuration));

    const CliRun identity = Cli({QStringLiteral("identity")});
    QCOMPARE(identity.status, 0);
    QVERIFY2(identity.out.contains(QStringLiteral("Configuration:      ") + configuration + QLatin1Char('\n')), qPrintable(identity.out));
}

void TestCliProgram::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("program without a file") << QStringList{"program"} << "program needs a HEX file";
    QTest::newRow("wizard without a model") << QStringList{"wizard", "fw.hex"} << "wizard needs --model";
    QTest::newRow("unknown model") << QStringList{"wizard", "--model", "47", "fw.hex"} << "--model takes one of";
    QTest::newRow("units the model does not offer") << QStringList{"wizard", "--model", "48", "--units", "2", "fw.hex"} << "--units for model 48 takes 1 to 1";
    QTest::newRow("gas the model does not ask for") << QStringList{"wizard", "--model", "49", "--gas", "3", "fw.hex"} << "leave out --gas";
    QTest::newRow("model with another command") << QStringList{"program", "--model", "48", "fw.hex"} << "goes with wizard only";
}

void TestCliProgram::usage()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    Image(QStringLiteral("fw.hex"), HexWordImage(Firmware()));
    for (QString &a : args) {
        if (a == QLatin1String("fw.hex"))
            a = m_dir.filePath(a);
    }
    const CliRun run = Cli(args);
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QTest::qWait(100);
    QCOMPARE(m_sim->Process().readAllStandardError(), QByteArray());
}

QTEST_GUILESS_MAIN(TestCliProgram)
#include "tst_cliprogram.moc"
