// Profile (INI) files as the options file and the board-test limits use them:
// case-blind sections and keys, blank-trimmed values read as at most 255
// characters, in-place key replacement that keeps every other line, and
// checksummed hexadecimal structures.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

/*
 * File layout, as read:
 *   - Lines end in CR LF, LF or a lone CR; a last line without an ending counts.
 *   - "[name]" (blanks allowed before "[" and around the name) opens a section;
 *     a "[" line without "]" opens nothing.
 *   - "key=value" inside a section is a key; the key is the text before the
 *     first "=", the value everything after it, both trimmed of blanks.
 *   - Lines starting with ";" are comments; lines without "=" and lines before
 *     the first section are kept but never match.
 *   - Only the first section of a name is searched, and in it the first key of
 *     a name, so a duplicated section or key further down is kept but ignored.
 *   - Bytes are Latin-1; a NUL or any other byte is ordinary text.
 *
 * As written:
 *   - A key that exists is rewritten as "key=value" on its own line, keeping
 *     the file's spelling of the key; all other lines stay as they were.
 *   - A new key goes after the last non-blank line of its section, so a blank
 *     line that separates sections stays where it is.
 *   - A new section goes at the end of the file, after one blank line.
 *   - Every line is written with one line ending: the one the file used first
 *     when it was loaded, CR LF for a fresh file. A file loaded without a final
 *     line ending gets one.
 *   - CR and LF inside a section, key or value are written as spaces: a line
 *     break there would forge lines that the next read takes as keys.
 */
class CProfileFile
{
public:
    // What Load does when the file does not exist.
    enum class Missing {
        Fail,  // return false: the caller wanted to read settings
        Empty, // start an empty document: the caller is about to write
    };

    // Values are cut to this many characters on read, as the profile functions'
    // 256-byte buffers did.
    static constexpr int MaxValueLength = 255;

    CProfileFile() = default;

    // Replaces the document with the file's content and remembers the path for
    // Save(). On failure the document is empty, the path is still remembered
    // and ErrorString() names the file. A file that exists but cannot be read
    // always fails, so a later Save() cannot overwrite what it never read.
    bool Load(const QString &path, Missing missing = Missing::Fail);
    // Replaces the document with raw file bytes; the path is left as it was.
    void LoadFromBytes(const QByteArray &bytes);
    // The document as the file's bytes.
    QByteArray ToBytes() const;

    // Writes the document to FilePath() / path through a temporary file, so
    // the old file is untouched unless the whole new content is in place.
    // SaveAs also makes path the document's path when it succeeds.
    bool Save();
    bool SaveAs(const QString &path);

    QString FilePath() const { return m_path; }
    void SetFilePath(const QString &path) { m_path = path; }
    // Why the last Load, Save or SaveAs failed; names the file.
    QString ErrorString() const { return m_error; }
    // True when a write changed the document since it was loaded or saved.
    bool IsModified() const { return m_modified; }

    // The key's value, trimmed and cut to MaxValueLength characters; def when
    // the section or key is missing. An empty value is returned as empty.
    QString GetString(const QString &section, const QString &key, const QString &def = QString()) const;
    // def when the key is missing or its value is empty; otherwise the
    // value's leading number (LeadingInt), 0 when it has none.
    int GetInt(const QString &section, const QString &key, int def) const;
    // Reads bytes written by WriteStruct: exactly size bytes as hexadecimal
    // digits (either case) and the checksum byte. A missing key, a wrong
    // length, a non-hex digit or a wrong checksum returns false and leaves
    // bytes untouched.
    bool GetStruct(const QString &section, const QString &key, QByteArray &bytes, qsizetype size) const;

    bool HasSection(const QString &section) const;
    // Section names in file order, first of each name only.
    QStringList Sections() const;
    // Key names of the first section of that name, in file order, first of each name only.
    QStringList Keys(const QString &section) const;

    void WriteString(const QString &section, const QString &key, const QString &value);
    // The bytes as upper-case hexadecimal digits followed by two digits of the
    // low byte of their sum.
    void WriteStruct(const QString &section, const QString &key, const QByteArray &bytes);

    // The value text a structure is written as.
    static QString StructText(const QByteArray &bytes);
    // C-library style leading number: blanks, an optional sign, decimal digits;
    // anything after is ignored. No digits gives 0; beyond the int range the
    // nearest int limit.
    static int LeadingInt(const QString &text);
    // Same for a real number with an optional fraction and exponent; never
    // takes "inf", "nan" or hexadecimal forms.
    static double LeadingReal(const QString &text);

    // One-shot file functions for callers that touch a single key: each reads
    // the file, and the writers save it again at once.
    static QString GetFileString(const QString &path, const QString &section, const QString &key,
                                 const QString &def = QString());
    static int GetFileInt(const QString &path, const QString &section, const QString &key, int def);
    static bool WriteFileString(const QString &path, const QString &section, const QString &key,
                                const QString &value, QString *error = nullptr);
    static bool WriteFileStruct(const QString &path, const QString &section, const QString &key,
                                const QByteArray &bytes, QString *error = nullptr);

private:
    enum class Kind { Other, Section, Key };
    struct Line
    {
        QString text; // without its line ending
        Kind kind = Kind::Other;
        QString name; // section or key name, trimmed
        qsizetype valueStart = 0;
    };

    static Line ParseLine(const QString &text);
    // Index of the first section line of that name, or -1.
    qsizetype FindSection(const QString &section) const;
    // One past the last line of the section that starts at header.
    qsizetype SectionEnd(qsizetype header) const;
    // Index of the key's line in the first section of that name, or -1.
    qsizetype FindKey(const QString &section, const QString &key) const;
    // The key's trimmed value without the length cut; false when missing.
    bool RawValue(const QString &section, const QString &key, QString &value) const;
    bool WriteTo(const QString &path);

    QList<Line> m_lines;
    QByteArray m_lineEnd = QByteArrayLiteral("\r\n");
    QString m_path;
    QString m_error;
    bool m_modified = false;
};
