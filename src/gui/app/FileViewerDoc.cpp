// Text files for the viewer.
#include "FileViewerDoc.h"

#include "RtfReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

CFileViewerDoc::CFileViewerDoc(QObject *parent) : QTextDocument(parent)
{
}

bool CFileViewerDoc::Open(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot open %1.\n%2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    if (file.size() > MaxBytes) {
        *error = QStringLiteral("%1 is too large to show.").arg(QDir::toNativeSeparators(path));
        return false;
    }
    const QByteArray bytes = file.readAll();
    QString rtfError;
    if (!CRtfReader::Read(bytes, this, &rtfError))
        setPlainText(QString::fromLocal8Bit(bytes));
    setMetaInformation(QTextDocument::DocumentTitle, QFileInfo(path).fileName());
    setModified(false);
    m_path = path;
    return true;
}
