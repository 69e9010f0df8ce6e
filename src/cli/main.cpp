// altavo-cli: the program's operations for scripts and production lines.
#include "CliSession.h"
#include "document/InstrumentIdentity.h"
#include "link/RecordTypes.h"
#include "platform/Preferences.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QMap>
#include <cstdio>

namespace {

int Identity(CCliSession &session)
{
    QMap<quint32, QByteArray> words; // word address -> bytes read there
    session.onReply = [&](int code, int type, quint32 address, const QByteArray &data) {
        if (code == 0 && type == RecordType::ReadWords)
            words[address] = data;
    };
    CInstrumentLink &link = session.Link();
    link.QueueRequest(RecordType::ReadWords, CInstrumentIdentity::IdentityWord, QByteArray(1, char(CInstrumentIdentity::IdentityBytes)));
    link.QueueRequest(RecordType::ReadWords, CInstrumentIdentity::ConfigurationWord, QByteArray(1, 16));
    link.QueueRequest(RecordType::ReadWords, CInstrumentIdentity::ConfigurationWord + 8, QByteArray(1, 16));
    if (!session.WaitFor([&] { return words.size() == 3; }))
        return CliExit::NoAnswer;

    const QByteArray configuration = words.value(CInstrumentIdentity::ConfigurationWord).leftJustified(16, '\xff', true)
                                     + words.value(CInstrumentIdentity::ConfigurationWord + 8);
    const CInstrumentIdentity id = CInstrumentIdentity::Decode(words.value(CInstrumentIdentity::IdentityWord), configuration);
    std::printf("Version:            %s\n", qPrintable(id.VersionText()));
    std::printf("Serial number:      %s\n", qPrintable(id.SerialText()));
    const QString date = id.ProgrammingDateText();
    std::printf("Programming date:   %s\n", date.isEmpty() ? "(not programmed)" : qPrintable(date));
    std::printf("Configuration:      %s\n", qPrintable(id.ConfigurationText()));
    return CliExit::Ok;
}

struct Command
{
    const char *name;
    const char *summary;
    int (*run)(CCliSession &);
};

const Command Commands[] = {
    {"identity", "print the instrument's version, serial number, programming date and configuration", Identity},
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("altavo-cli"));
    QCoreApplication::setOrganizationName(QStringLiteral("Veltrion Norvane"));

    QCommandLineParser parser;
    QString description = QStringLiteral("Service operations on a connected gas detector.\n\nCommands:\n");
    for (const Command &c : Commands)
        description += QStringLiteral("  %1  %2\n").arg(QLatin1String(c.name), -10).arg(QLatin1String(c.summary));
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    parser.addOption({QStringLiteral("serial"), QStringLiteral("Serial device of the instrument (e.g. /dev/ttyUSB0, COM3)."), QStringLiteral("device")});
    parser.addOption({QStringLiteral("port"), QStringLiteral("COM port number 1-4 as set up in the preferences."), QStringLiteral("n")});
    parser.addOption({QStringLiteral("gateway"), QStringLiteral("Network gateway of the instrument."), QStringLiteral("host[:port]")});
    parser.addOption({QStringLiteral("timeout"), QStringLiteral("Seconds to wait for an answer (default 5)."), QStringLiteral("seconds"), QStringLiteral("5")});
    parser.addOption({{QStringLiteral("v"), QStringLiteral("verbose")}, QStringLiteral("Show every message on the line.")});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do (see Commands)."));
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    if (args.isEmpty()) {
        std::fprintf(stderr, "altavo-cli: no command given (try --help).\n");
        return CliExit::Usage;
    }
    const Command *command = nullptr;
    for (const Command &c : Commands) {
        if (args[0] == QLatin1String(c.name))
            command = &c;
    }
    if (!command) {
        std::fprintf(stderr, "altavo-cli: unknown command \"%s\" (try --help).\n", qPrintable(args[0]));
        return CliExit::Usage;
    }

    CliOptions options;
    options.serialDevice = parser.value(QStringLiteral("serial"));
    options.verbose = parser.isSet(QStringLiteral("verbose"));
    bool ok = true;
    options.timeoutSeconds = parser.value(QStringLiteral("timeout")).toInt(&ok);
    if (!ok || options.timeoutSeconds <= 0) {
        std::fprintf(stderr, "altavo-cli: --timeout needs a whole number of seconds.\n");
        return CliExit::Usage;
    }
    if (parser.isSet(QStringLiteral("port"))) {
        options.commPort = parser.value(QStringLiteral("port")).toInt(&ok);
        if (!ok || options.commPort < 1 || options.commPort > 4) {
            std::fprintf(stderr, "altavo-cli: --port takes 1 to 4.\n");
            return CliExit::Usage;
        }
    }
    if (parser.isSet(QStringLiteral("gateway"))) {
        const QString gateway = parser.value(QStringLiteral("gateway"));
        const qsizetype colon = gateway.lastIndexOf(QLatin1Char(':'));
        options.gatewayHost = gateway;
        if (colon > 0 && !gateway.contains(QLatin1Char(']')) && gateway.count(QLatin1Char(':')) == 1) {
            options.gatewayHost = gateway.left(colon);
            options.gatewayPort = gateway.mid(colon + 1).toInt(&ok);
            if (!ok || options.gatewayPort <= 0 || options.gatewayPort > 65535) {
                std::fprintf(stderr, "altavo-cli: bad gateway port in \"%s\".\n", qPrintable(gateway));
                return CliExit::Usage;
            }
        }
    }
    if (int(!options.serialDevice.isEmpty()) + int(!options.gatewayHost.isEmpty()) + int(options.commPort != 0) > 1) {
        std::fprintf(stderr, "altavo-cli: give only one of --serial, --port and --gateway.\n");
        return CliExit::Usage;
    }
    if (options.serialDevice.isEmpty() && options.gatewayHost.isEmpty() && options.commPort == 0) {
        // The port the windowed program last used.
        options.commPort = CPreferences::GetInt(QString::fromLatin1(Pref::Preferences), QString::fromLatin1(Pref::CommPort), 1);
        if (options.commPort == 0 || options.commPort > 4)
            options.commPort = 1;
    }

    CCliSession session;
    if (!session.Open(options))
        return CliExit::PortError;
    return command->run(session);
}
