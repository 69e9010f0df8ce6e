// Reads the rich-text format our help and text files use into a
// QTextDocument: paragraphs, bold, italic, underline, font sizes and faces,
// colours, alignment and indents, outline headings, tabs, escaped and Unicode
// characters. Pictures, fields' instructions, style sheets and every other
// destination are skipped.
#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

class CRtfReader
{
public:
    // Replaces doc's content. false (doc unchanged, *error set) when the bytes
    // do not start an RTF group. Reads only inside rtf whatever it holds; an
    // unterminated group ends at the last byte.
    static bool Read(const QByteArray &rtf, QTextDocument *doc, QString *error = nullptr);
};
