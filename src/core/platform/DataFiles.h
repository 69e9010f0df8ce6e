// Where the program's own files (the help text, the board-test limits, the
// board test's firmware images) are: beside the program in a build folder,
// or in the installed data folder share/altavo-view beside its bin folder.
#pragma once

#include <QString>
#include <QStringList>

class CDataFiles
{
public:
    // The data folder's name under share/.
    static constexpr char ShareFolder[] = "altavo-view";

    // The folders looked in, in order: the program's own, then
    // ../share/altavo-view from it.
    static QStringList Folders();
    // The first existing file of that name in Folders(); when there is none,
    // the path beside the program, so that a message names where it was
    // expected.
    static QString Locate(const QString &name);

    // The same for a program in programFolder.
    static QStringList Folders(const QString &programFolder);
    static QString Locate(const QString &name, const QString &programFolder);
};
