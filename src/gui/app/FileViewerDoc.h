// A text file opened for reading in the program's own viewer: rich text when
// the file is RTF, plain text otherwise.
#pragma once

#include <QTextDocument>

class CFileViewerDoc : public QTextDocument
{
    Q_OBJECT
public:
    // Files above this size are refused rather than read into memory.
    static constexpr qint64 MaxBytes = 16 * 1024 * 1024;

    explicit CFileViewerDoc(QObject *parent = nullptr);

    // false with *error naming the file when it cannot be read.
    bool Open(const QString &path, QString *error);
    QString Path() const { return m_path; }

private:
    QString m_path;
};
