// RTF subset reader.
#include "RtfReader.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QVector>

namespace {

constexpr int MaxDepth = 256;        // deeper groups are read as part of their parent
constexpr int MaxWordLength = 32;    // RTF control words are at most 32 letters
constexpr int TwipsPerPixel = 15;    // 1440 twips an inch at 96 pixels an inch

// Windows code page 1252 at 0x80..0x9F; the rest of the upper half is Latin-1.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

QChar FromCp1252(unsigned char c)
{
    if (c >= 0x80 && c < 0xA0)
        return QChar(Cp1252High[c - 0x80]);
    return QChar(c);
}

enum class Destination { Text, Skip, FontTable, ColorTable };

struct State
{
    Destination destination = Destination::Text;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    int halfPoints = 24;
    int font = -1;
    int colour = 0;
    int unicodeSkip = 1;
    // paragraph
    Qt::Alignment alignment = Qt::AlignLeft;
    int leftTwips = 0;
    int rightTwips = 0;
    int firstTwips = 0;
    int beforeTwips = 0;
    int afterTwips = 0;
    int outline = -1;
};

struct Font
{
    QString name;
    bool fixed = false;
};

struct TextRun
{
    QString text;
    QTextCharFormat format;
};

class Parser
{
public:
    Parser(const QByteArray &rtf, QTextDocument *doc) : m_rtf(rtf), m_cursor(doc) {}

    void Run()
    {
        const int n = int(m_rtf.size());
        while (m_pos < n) {
            const char c = m_rtf[m_pos++];
            switch (c) {
            case '{':
                OpenGroup();
                break;
            case '}':
                CloseGroup();
                break;
            case '\\':
                Control();
                break;
            case '\r':
            case '\n':
                break;
            case '\t':
                Text(QChar(u'\t'));
                break;
            default:
                Text(FromCp1252(static_cast<unsigned char>(c)));
                break;
            }
        }
        EndParagraph(false);
    }

private:
    void OpenGroup()
    {
        m_skipChars = 0;
        if (m_stack.size() < MaxDepth)
            m_stack.append(m_state);
        else
            ++m_overflow;
    }

    void CloseGroup()
    {
        m_skipChars = 0;
        if (m_state.destination == Destination::FontTable && !m_fontName.isEmpty())
            EndFontEntry();
        if (m_overflow > 0) {
            --m_overflow;
        } else if (!m_stack.isEmpty()) {
            m_state = m_stack.takeLast();
        }
    }

    void Control()
    {
        const int n = int(m_rtf.size());
        if (m_pos >= n)
            return;
        const char c = m_rtf[m_pos];
        if (!IsLetter(c)) {
            ++m_pos;
            Symbol(c);
            return;
        }
        QByteArray word;
        while (m_pos < n && IsLetter(m_rtf[m_pos])) {
            if (word.size() < MaxWordLength)
                word.append(m_rtf[m_pos]);
            ++m_pos;
        }
        bool hasParam = false;
        bool negative = false;
        qint64 param = 0;
        if (m_pos < n && m_rtf[m_pos] == '-' && m_pos + 1 < n && IsDigit(m_rtf[m_pos + 1])) {
            negative = true;
            ++m_pos;
        }
        while (m_pos < n && IsDigit(m_rtf[m_pos])) {
            hasParam = true;
            if (param < 1000000000)
                param = param * 10 + (m_rtf[m_pos] - '0');
            ++m_pos;
        }
        if (m_pos < n && m_rtf[m_pos] == ' ')
            ++m_pos;
        const int value = int(negative ? -param : param);
        Word(word, hasParam, value);
    }

    void Symbol(char c)
    {
        switch (c) {
        case '\\':
        case '{':
        case '}':
            Text(QChar(QLatin1Char(c)));
            break;
        case '~':
            Text(QChar(0x00A0));
            break;
        case '_':
            Text(QChar(0x2011));
            break;
        case '-':
            break;
        case '*':
            // An ignorable destination: anything we do not know in it is skipped.
            m_state.destination = Destination::Skip;
            break;
        case '\'': {
            const int n = int(m_rtf.size());
            int value = 0;
            int digits = 0;
            while (digits < 2 && m_pos < n && HexValue(m_rtf[m_pos]) >= 0) {
                value = value * 16 + HexValue(m_rtf[m_pos]);
                ++m_pos;
                ++digits;
            }
            if (digits == 2)
                Text(FromCp1252(static_cast<unsigned char>(value)));
            break;
        }
        case '\r':
        case '\n':
            Word("par", false, 0);
            break;
        default:
            break;
        }
    }

    void Word(const QByteArray &w, bool hasParam, int value)
    {
        const bool on = !hasParam || value != 0;
        if (m_state.destination == Destination::Skip)
            return;
        if (w == "bin") {
            // Binary data: skip exactly its count, never past the end.
            const qint64 skip = qBound(qint64(0), qint64(value), qint64(m_rtf.size() - m_pos));
            m_pos += int(skip);
            return;
        }
        if (m_state.destination == Destination::FontTable) {
            if (w == "f") {
                m_fontIndex = value;
                m_fontName.clear();
                m_fontFixed = false;
            } else if (w == "fmodern") {
                m_fontFixed = true;
            }
            return;
        }
        if (m_state.destination == Destination::ColorTable) {
            if (w == "red")
                m_red = value;
            else if (w == "green")
                m_green = value;
            else if (w == "blue")
                m_blue = value;
            m_colourSet = true;
            return;
        }

        if (w == "fonttbl") {
            m_state.destination = Destination::FontTable;
        } else if (w == "colortbl") {
            m_state.destination = Destination::ColorTable;
            m_colourSet = false;
        } else if (IsSkippedDestination(w)) {
            m_state.destination = Destination::Skip;
        } else if (w == "par" || w == "sect") {
            EndParagraph(true);
        } else if (w == "row") {
            EndParagraph(true);
        } else if (w == "cell") {
            Text(QChar(u'\t'));
        } else if (w == "line") {
            Text(QChar(0x2028));
        } else if (w == "tab") {
            Text(QChar(u'\t'));
        } else if (w == "page") {
            EndParagraph(true);
            m_pageBreak = true;
        } else if (w == "pard") {
            const State plain;
            m_state.alignment = plain.alignment;
            m_state.leftTwips = m_state.rightTwips = m_state.firstTwips = 0;
            m_state.beforeTwips = m_state.afterTwips = 0;
            m_state.outline = -1;
        } else if (w == "plain") {
            const State plain;
            m_state.bold = m_state.italic = m_state.underline = m_state.strike = false;
            m_state.halfPoints = plain.halfPoints;
            m_state.font = m_defaultFont;
            m_state.colour = 0;
        } else if (w == "b") {
            m_state.bold = on;
        } else if (w == "i") {
            m_state.italic = on;
        } else if (w == "ul") {
            m_state.underline = on;
        } else if (w == "ulnone") {
            m_state.underline = false;
        } else if (w == "strike") {
            m_state.strike = on;
        } else if (w == "fs") {
            if (hasParam && value > 0 && value <= 3276)
                m_state.halfPoints = value;
        } else if (w == "f") {
            m_state.font = value;
        } else if (w == "deff") {
            m_defaultFont = value;
            m_state.font = value;
        } else if (w == "cf") {
            m_state.colour = value;
        } else if (w == "ql") {
            m_state.alignment = Qt::AlignLeft;
        } else if (w == "qr") {
            m_state.alignment = Qt::AlignRight;
        } else if (w == "qc") {
            m_state.alignment = Qt::AlignHCenter;
        } else if (w == "qj") {
            m_state.alignment = Qt::AlignJustify;
        } else if (w == "li") {
            m_state.leftTwips = value;
        } else if (w == "ri") {
            m_state.rightTwips = value;
        } else if (w == "fi") {
            m_state.firstTwips = value;
        } else if (w == "sb") {
            m_state.beforeTwips = value;
        } else if (w == "sa") {
            m_state.afterTwips = value;
        } else if (w == "outlinelevel") {
            m_state.outline = qBound(0, value, 5);
        } else if (w == "uc") {
            m_state.unicodeSkip = qBound(0, value, 8);
        } else if (w == "u") {
            // A signed 16-bit UTF-16 unit, followed by a fallback for readers
            // without Unicode that we must not show as well.
            Text(QChar(char16_t(value < 0 ? value + 65536 : value)));
            m_skipChars = m_state.unicodeSkip;
        } else if (w == "bullet") {
            Text(QChar(0x2022));
        } else if (w == "endash") {
            Text(QChar(0x2013));
        } else if (w == "emdash") {
            Text(QChar(0x2014));
        } else if (w == "lquote") {
            Text(QChar(0x2018));
        } else if (w == "rquote") {
            Text(QChar(0x2019));
        } else if (w == "ldblquote") {
            Text(QChar(0x201C));
        } else if (w == "rdblquote") {
            Text(QChar(0x201D));
        } else if (w == "enspace" || w == "emspace" || w == "qmspace") {
            Text(QChar(u' '));
        }
    }

    static bool IsSkippedDestination(const QByteArray &w)
    {
        static const char *const skipped[] = {
            "stylesheet", "info", "pict", "header", "headerl", "headerr", "headerf", "footer", "footerl",
            "footerr", "footerf", "footnote", "fldinst", "object", "themedata", "colorschememapping",
            "latentstyles", "datastore", "xmlnstbl", "listtable", "listoverridetable", "rsidtbl",
            "generator", "filetbl", "revtbl", "pgdsctbl", "bkmkstart", "bkmkend", "nonshppict", "shp",
            "annotation", "atnid", "atnauthor", "private", "xe", "tc", "txe", "template", "userprops",
        };
        for (const char *s : skipped) {
            if (w == s)
                return true;
        }
        return false;
    }

    void Text(QChar ch)
    {
        if (m_skipChars > 0) {
            --m_skipChars;
            return;
        }
        switch (m_state.destination) {
        case Destination::Skip:
            return;
        case Destination::FontTable:
            if (ch == QLatin1Char(';'))
                EndFontEntry();
            else
                m_fontName.append(ch);
            return;
        case Destination::ColorTable:
            if (ch == QLatin1Char(';')) {
                m_colours.append(m_colourSet ? QColor(qBound(0, m_red, 255), qBound(0, m_green, 255), qBound(0, m_blue, 255)) : QColor());
                m_red = m_green = m_blue = 0;
                m_colourSet = false;
            }
            return;
        case Destination::Text:
            break;
        }
        const QTextCharFormat format = CharFormat();
        if (!m_runs.isEmpty() && m_runs.last().format == format)
            m_runs.last().text.append(ch);
        else
            m_runs.append({QString(ch), format});
    }

    void EndFontEntry()
    {
        if (m_fontIndex >= 0)
            m_fonts.insert(m_fontIndex, {m_fontName.trimmed(), m_fontFixed});
        m_fontName.clear();
        m_fontFixed = false;
        m_fontIndex = -1;
    }

    QTextCharFormat CharFormat() const
    {
        QTextCharFormat f;
        f.setFontWeight(m_state.bold ? QFont::Bold : QFont::Normal);
        f.setFontItalic(m_state.italic);
        f.setFontUnderline(m_state.underline);
        f.setFontStrikeOut(m_state.strike);
        f.setFontPointSize(m_state.halfPoints / 2.0);
        const auto font = m_fonts.constFind(m_state.font);
        if (font != m_fonts.constEnd()) {
            QStringList families;
            if (!font->name.isEmpty())
                families << font->name;
            if (font->fixed) {
                families << QStringLiteral("monospace");
                f.setFontFixedPitch(true);
            }
            if (!families.isEmpty())
                f.setFontFamilies(families);
        }
        if (m_state.colour > 0 && m_state.colour < m_colours.size() && m_colours[m_state.colour].isValid())
            f.setForeground(m_colours[m_state.colour]);
        return f;
    }

    QTextBlockFormat BlockFormat() const
    {
        QTextBlockFormat f;
        f.setAlignment(m_state.alignment);
        f.setLeftMargin(m_state.leftTwips / double(TwipsPerPixel));
        f.setRightMargin(m_state.rightTwips / double(TwipsPerPixel));
        f.setTextIndent(m_state.firstTwips / double(TwipsPerPixel));
        f.setTopMargin(m_state.beforeTwips / double(TwipsPerPixel));
        f.setBottomMargin(m_state.afterTwips / double(TwipsPerPixel));
        if (m_state.outline >= 0)
            f.setHeadingLevel(m_state.outline + 1);
        if (m_pageBreak)
            f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        return f;
    }

    // Ends the paragraph being read. explicitEnd: a \par; false at the end of
    // the text, where an empty last paragraph adds nothing.
    void EndParagraph(bool explicitEnd)
    {
        if (!explicitEnd && m_runs.isEmpty())
            return;
        const QTextBlockFormat block = BlockFormat();
        if (m_firstBlock) {
            m_cursor.setBlockFormat(block);
            m_firstBlock = false;
        } else {
            m_cursor.insertBlock(block);
        }
        QTextCharFormat last = CharFormat();
        for (const auto &run : m_runs) {
            m_cursor.insertText(run.text, run.format);
            last = run.format;
        }
        // An empty paragraph keeps the size it was written in.
        if (m_runs.isEmpty())
            m_cursor.setBlockCharFormat(last);
        m_runs.clear();
        m_pageBreak = false;
    }

    static bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
    static int HexValue(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    const QByteArray &m_rtf;
    QTextCursor m_cursor;
    int m_pos = 0;
    State m_state;
    QList<State> m_stack;
    int m_overflow = 0;
    int m_skipChars = 0;
    QList<TextRun> m_runs;
    bool m_firstBlock = true;
    bool m_pageBreak = false;

    QHash<int, Font> m_fonts;
    int m_defaultFont = -1;
    int m_fontIndex = -1;
    QString m_fontName;
    bool m_fontFixed = false;

    QVector<QColor> m_colours;
    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_colourSet = false;
};

} // namespace

bool CRtfReader::Read(const QByteArray &rtf, QTextDocument *doc, QString *error)
{
    int start = 0;
    while (start < rtf.size() && (rtf[start] == ' ' || rtf[start] == '\r' || rtf[start] == '\n' || rtf[start] == '\t'))
        ++start;
    if (!rtf.mid(start, 5).startsWith("{\\rtf")) {
        if (error)
            *error = QStringLiteral("The file is not in rich-text format.");
        return false;
    }
    doc->clear();
    Parser parser(rtf, doc);
    parser.Run();
    return true;
}
