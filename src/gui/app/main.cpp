// altavo-view: the windowed service program.
#include "app/AltavoApp.h"
#include "platform/BuildInfo.h"
#include "platform/ProcessEnd.h"

#include <QApplication>

namespace {
int Run(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Veltrion Norvane"));
    QApplication::setApplicationName(QStringLiteral("Altavo View"));
    QApplication::setApplicationVersion(QString::fromLatin1(BuildInfo::Version()));

    CAltavoApp altavo;
    if (!altavo.Start(app.arguments().mid(1)))
        return 0;
    return app.exec();
}
} // namespace

int main(int argc, char **argv)
{
    return FinishProcess(Run(argc, argv));
}
