// The system's serial ports as listed for the port dialog and the command
// line, the explanation of a device that will not open, and the low-latency
// flag asked for on open and refused harmlessly by a pseudo-terminal.
#include "EventWait.h"
#include "Simulator.h"
#include "link/LinkRecord.h"
#include "link/RecordTypes.h"
#include "platform/MSComm.h"
#include "platform/SerialDevice.h"
#include "platform/SerialLowLatency.h"
#include "platform/SerialOpenFailure.h"
#include "platform/SerialPortList.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {
SerialPortEntry Port(const QString &location, const QString &description = {}, const QString &manufacturer = {},
                     int vendor = -1, int product = -1, const QString &serial = {})
{
    SerialPortEntry p;
    p.location = location;
    p.name = location.section(QLatin1Char('/'), -1);
    p.description = description;
    p.manufacturer = manufacturer;
    p.vendorId = vendor;
    p.productId = product;
    p.serialNumber = serial;
    return p;
}
} // namespace

class TestSerialPorts : public QObject
{
    Q_OBJECT
private slots:
    void usbIds_data();
    void usbIds();
    void tableAlignsEveryColumn();
    void tableOfNoPorts();
    void summaryNamesDescriptions();
    void availableRunsHere();

    void missingDeviceNamesThePortsThereAre_data();
    void missingDeviceNamesThePortsThereAre();
    void portHeldElsewhereIsBusy();
    void holderFromItsLockFile_data();
    void holderFromItsLockFile();
    void otherFailuresKeepTheSystemText();

    void controlTalksToTheInstrument();
    void lowLatencyRefusedByPtyIsHarmless();
    void lowLatencySetAndRestoredOnSerialDevice();
};

void TestSerialPorts::usbIds_data()
{
    QTest::addColumn<int>("vendor");
    QTest::addColumn<int>("product");
    QTest::addColumn<QString>("text");
    QTest::newRow("ftdi") << 0x0403 << 0x6001 << "0403:6001";
    QTest::newRow("small numbers pad") << 0x10c4 << 0xea60 << "10c4:ea60";
    QTest::newRow("not usb") << -1 << -1 << "";
    QTest::newRow("vendor only") << 0x067b << -1 << "067b:????";
}

void TestSerialPorts::usbIds()
{
    QFETCH(int, vendor);
    QFETCH(int, product);
    QTEST(CSerialPortList::UsbIds(Port(QStringLiteral("/dev/ttyUSB0"), {}, {}, vendor, product)), "text");
}

void TestSerialPorts::tableAlignsEveryColumn()
{
    const QStringList lines = CSerialPortList::Table(
        {Port(QStringLiteral("/dev/ttyS0")),
         Port(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("FT232R USB UART"), QStringLiteral("FTDI"), 0x0403, 0x6001,
              QStringLiteral("A10K3XYZ"))});
    const QStringList expected = {
        "Port          Description      Manufacturer  USB ID     Serial number",
        "/dev/ttyS0",
        "/dev/ttyUSB0  FT232R USB UART  FTDI          0403:6001  A10K3XYZ",
    };
    QCOMPARE(lines, expected);
}

void TestSerialPorts::tableOfNoPorts()
{
    QCOMPARE(CSerialPortList::Table({}), QStringList{"No serial ports found."});
}

void TestSerialPorts::summaryNamesDescriptions()
{
    QCOMPARE(CSerialPortList::Summary({Port(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("FT232R USB UART")),
                                       Port(QStringLiteral("/dev/ttyS0"))}),
             QStringLiteral("/dev/ttyUSB0 (FT232R USB UART), /dev/ttyS0"));
}

void TestSerialPorts::availableRunsHere()
{
    // Whatever this machine has, each entry names a device path.
    for (const SerialPortEntry &p : CSerialPortList::Available()) {
        QVERIFY2(!p.location.isEmpty(), qPrintable(p.name));
        QVERIFY(p.location.endsWith(p.name));
    }
}

void TestSerialPorts::missingDeviceNamesThePortsThereAre_data()
{
    QTest::addColumn<QList<SerialPortEntry>>("ports");
    QTest::addColumn<QString>("tail");
    QTest::newRow("two ports")
        << QList<SerialPortEntry>{Port(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("FT232R USB UART")), Port(QStringLiteral("/dev/ttyS0"))}
        << " There is no such device. Serial ports on this computer: /dev/ttyUSB0 (FT232R USB UART), /dev/ttyS0.";
    QTest::newRow("none") << QList<SerialPortEntry>{}
                          << " There is no such device, and this computer has no serial ports; is the adapter plugged in?";
}

void TestSerialPorts::missingDeviceNamesThePortsThereAre()
{
    QFETCH(QList<SerialPortEntry>, ports);
    QFETCH(QString, tail);
    QTemporaryDir dir;
#ifdef Q_OS_WIN
    const QString device = QStringLiteral("COM97");
#else
    const QString device = dir.filePath(QStringLiteral("ttyUSB7"));
#endif
    std::unique_ptr<CSerialDevice> serial(CSerialDevice::Create());
    QVERIFY(!serial->Open(device));
    QCOMPARE(serial->OpenFailure(), CSerialDevice::OpenError::NotFound);
    const CSerialOpenFailure failure(device, serial->OpenFailure(), serial->ErrorString(), ports);
    QCOMPARE(failure.GetCause(), CSerialOpenFailure::Cause::Missing);
    // The system's own words come first, the explanation after them.
    QVERIFY2(failure.Text().startsWith(QStringLiteral("%1: %2").arg(device, serial->ErrorString())), qPrintable(failure.Text()));
    QVERIFY2(failure.Text().endsWith(tail), qPrintable(failure.Text()));
}

void TestSerialPorts::portHeldElsewhereIsBusy()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a pseudo-terminal");
#endif
    CSimulator sim;
    QString error;
    const QString pty = sim.OpenPty(&error);
    QVERIFY2(!pty.isEmpty(), qPrintable(error));
    std::unique_ptr<CSerialDevice> first(CSerialDevice::Create());
    QVERIFY2(first->Open(pty), qPrintable(first->ErrorString()));
    std::unique_ptr<CSerialDevice> second(CSerialDevice::Create());
    QVERIFY(!second->Open(pty));
    const CSerialOpenFailure failure(pty, second->OpenFailure(), second->ErrorString(), {});
    QCOMPARE(failure.GetCause(), CSerialOpenFailure::Cause::Busy);
    QVERIFY2(failure.Text().startsWith(pty + QStringLiteral(": ") + second->ErrorString()), qPrintable(failure.Text()));
    // This process holds it, and is not named as "another program".
    QVERIFY2(failure.Text().endsWith(QLatin1String(" Another program holds the port; close it and try again.")),
             qPrintable(failure.Text()));
}

void TestSerialPorts::holderFromItsLockFile_data()
{
    QTest::addColumn<QString>("style");
    QTest::newRow("terminal program: padded pid, name, user") << "text";
    QTest::newRow("this program's serial library: pid, name, host") << "qt";
    QTest::newRow("old uucp: the pid as a binary int") << "binary";
}

void TestSerialPorts::holderFromItsLockFile()
{
#ifndef Q_OS_LINUX
    QSKIP("reads /proc");
#endif
    QFETCH(QString, style);
    QProcess other;
    other.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    QVERIFY(other.waitForStarted());
    const qint64 pid = other.processId();
    // /tmp is the last of the lock folders serial programs use.
    const QString name = QStringLiteral("ttyAltavoTest%1").arg(QCoreApplication::applicationPid());
    QFile lock(QStringLiteral("/tmp/LCK..") + name);
    QVERIFY(lock.open(QIODevice::WriteOnly));
    if (style == QLatin1String("text")) {
        lock.write(QStringLiteral("%1 sleep root\n").arg(pid, 10).toLatin1());
    } else if (style == QLatin1String("qt")) {
        lock.write(QStringLiteral("%1\nsleep\nhost\n").arg(pid).toLatin1());
    } else {
        const qint32 binary = qint32(pid);
        lock.write(reinterpret_cast<const char *>(&binary), sizeof binary);
    }
    lock.close();
    const QString holder = CSerialOpenFailure::Holder(QStringLiteral("/dev/") + name);
    lock.remove();
    other.kill();
    other.waitForFinished();
    QCOMPARE(holder, QStringLiteral("sleep (process %1)").arg(pid));
}

void TestSerialPorts::otherFailuresKeepTheSystemText()
{
    QTemporaryDir dir;
    const CSerialOpenFailure failure(dir.path(), CSerialDevice::OpenError::Other,
                                     QStringLiteral("Unsupported operation"), {});
    QCOMPARE(failure.GetCause(), CSerialOpenFailure::Cause::Other);
    QCOMPARE(failure.Text(), dir.path() + QStringLiteral(": Unsupported operation."));
}

// The serial control over this platform's serial device, against the
// simulated instrument: on its pseudo-terminal here, or on the port named by
// ALTAVO_TEST_SERIAL (a Windows build's COMn mapped to a simulator outside).
void TestSerialPorts::controlTalksToTheInstrument()
{
    CSimulator sim;
    QString device = qEnvironmentVariable("ALTAVO_TEST_SERIAL");
    if (device.isEmpty()) {
#ifdef Q_OS_UNIX
        QString error;
        device = sim.OpenPty(&error);
        QVERIFY2(!device.isEmpty(), qPrintable(error));
#else
        QSKIP("no serial device: set ALTAVO_TEST_SERIAL to a port with the simulator behind it");
#endif
    }
    CMSComm comm;
    comm.SetDeviceName(device);
    for (int round = 0; round < 2; ++round) {
        QVERIFY2(comm.SetPortOpen(true), qPrintable(comm.LastError()));
        QVERIFY2(comm.SetSettings(QStringLiteral("115200,n,8,1")), qPrintable(comm.LastError()));
        QVERIFY(comm.SetHandshaking(0));
        QVERIFY(comm.SetDTREnable(true));
        QVERIFY(comm.SetRTSEnable(true));
        comm.SetRThreshold(1);
        QByteArray got;
        const QMetaObject::Connection c = connect(&comm, &CMSComm::OnComm, this, [&] { got += comm.GetInput(); });
        // Settings pieces of the clock memory, one request at a time as the
        // link sends them: every reply arrives whole, for the address asked.
        for (int i = 0; i < 5; ++i) {
            got.clear();
            QVERIFY(comm.SetOutput(LinkRecord::Format(RecordType::ReadTimeKeeper, 8 + 8 * i, QByteArray(1, 8))));
            // A record is as long as its count field says.
            const auto whole = [&] {
                return got.size() >= 3 && got.size() >= LinkRecord::RecordLength(int(LinkRecord::ScanHex(got.constData() + 1, 2)));
            };
            QVERIFY2(WaitUntil(whole, 5000), got.constData());
            QVERIFY2(got.startsWith(':'), got.constData());
            QCOMPARE(got.size(), LinkRecord::RecordLength(8));
            QCOMPARE(int(LinkRecord::ScanHex(got.constData() + 3, 4)), 8 + 8 * i);
        }
        disconnect(c);
        QVERIFY(comm.SetPortOpen(false));
        QVERIFY(!comm.GetPortOpen());
    }
    QVERIFY(!comm.SetOutput("?"));
}

void TestSerialPorts::lowLatencyRefusedByPtyIsHarmless()
{
#ifndef Q_OS_LINUX
    QSKIP("the flag is Linux's");
#endif
    CSimulator sim;
    QString error;
    const QString pty = sim.OpenPty(&error);
    QVERIFY2(!pty.isEmpty(), qPrintable(error));
    CMSComm comm;
    comm.SetDeviceName(pty);
    QVERIFY2(comm.SetPortOpen(true), qPrintable(comm.LastError()));
    // Asked for, refused, and the port goes on working.
    QCOMPARE(comm.LowLatency(), CSerialLowLatency::Outcome::Refused);
    QVERIFY2(comm.LowLatencyNote().startsWith(pty + QStringLiteral(": no low-latency mode (")), qPrintable(comm.LowLatencyNote()));
    QVERIFY(comm.SetSettings(QStringLiteral("115200,n,8,1")));
    QByteArray got;
    comm.SetRThreshold(1);
    connect(&comm, &CMSComm::OnComm, this, [&] { got += comm.GetInput(); });
    QVERIFY(comm.SetOutput(LinkRecord::Format(RecordType::ReadWords, 0x8000, QByteArray(1, 2))));
    QVERIFY(WaitUntil([&] { return !got.isEmpty(); }, 5000));
    QVERIFY(comm.SetPortOpen(false));
    QVERIFY(comm.SetPortOpen(true));
    QCOMPARE(comm.LowLatency(), CSerialLowLatency::Outcome::Refused);
}

void TestSerialPorts::lowLatencySetAndRestoredOnSerialDevice()
{
#ifdef Q_OS_LINUX
    // A real UART, opened without touching its line settings; only where the
    // machine has one this process may change.
    const char *device = "/dev/ttyS0";
    const int fd = ::open(device, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        QSKIP("no /dev/ttyS0 to open");
    CSerialLowLatency probe;
    const bool before = CSerialLowLatency::IsSet(fd);
    const CSerialLowLatency::Outcome outcome = probe.Enable(fd);
    if (outcome == CSerialLowLatency::Outcome::Refused) {
        ::close(fd);
        QSKIP(qPrintable(QStringLiteral("%1 refuses: %2").arg(QLatin1String(device), probe.Reason())));
    }
    QCOMPARE(outcome, before ? CSerialLowLatency::Outcome::AlreadySet : CSerialLowLatency::Outcome::Set);
    QVERIFY(CSerialLowLatency::IsSet(fd));
    probe.Restore();
    QCOMPARE(CSerialLowLatency::IsSet(fd), before);
    ::close(fd);
#else
    QSKIP("the flag is Linux's");
#endif
}

QTEST_GUILESS_MAIN(TestSerialPorts)
#include "tst_serialports.moc"
