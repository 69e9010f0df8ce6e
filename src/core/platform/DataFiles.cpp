// Finding the program's own files.
#include "DataFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QStringList CDataFiles::Folders()
{
    return Folders(QCoreApplication::applicationDirPath());
}

QString CDataFiles::Locate(const QString &name)
{
    return Locate(name, QCoreApplication::applicationDirPath());
}

QStringList CDataFiles::Folders(const QString &programFolder)
{
    const QDir program(programFolder);
    return {program.path(),
            QDir::cleanPath(program.filePath(QStringLiteral("../share/") + QString::fromLatin1(ShareFolder)))};
}

QString CDataFiles::Locate(const QString &name, const QString &programFolder)
{
    const QStringList folders = Folders(programFolder);
    for (const QString &folder : folders) {
        const QString path = QDir(folder).filePath(name);
        if (QFileInfo(path).isFile())
            return path;
    }
    return QDir(folders.first()).filePath(name);
}
