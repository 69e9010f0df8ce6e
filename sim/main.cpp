// altavo-sim: the simulated instrument on a pseudo-terminal or a loopback gateway.
#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return 0;
}
