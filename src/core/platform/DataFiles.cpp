// Finding the program's own files.
#include "DataFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QStringList CDataFiles::Folders()
{
    const QDir program(QCoreApplication::applicationDirPath());
    return {program.path(),
            QDir::cleanPath(program.filePath(QStringLiteral("../share/") + QString::fromLatin1(ShareFolder)))};
}

QString CDataFiles::Locate(const QString &name)
{
    const QStringList folders = Folders();
    for (const QString &folder : folders) {
        const QString path = QDir(folder).filePath(name);
        if (QFileInfo(path).isFile())
            return path;
    }
    return QDir(folders.first()).filePath(name);
}
