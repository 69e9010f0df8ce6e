// The instrument's liquid-crystal display drawn from its 40 bytes of display memory.
#include "InstrumentDisplay.h"

#include <QPainter>

namespace {
// Annunciator pictures are white on black; white takes the lit or the dark
// colour and black lets the glass show through.
QImage Tinted(const QImage &picture, const QColor &colour)
{
    QImage out(picture.size(), QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (qGray(picture.pixel(x, y)) > 127)
                out.setPixelColor(x, y, colour);
        }
    }
    return out;
}

constexpr int CellsPerRow = 8;
constexpr int CellPitch = 24;
constexpr int CellLeft = 60;
constexpr int CellWidth = 20;
// Top and height of the four cell rows: large, short, large, short.
constexpr int RowTop[] = {10, 42, 60, 92};
constexpr int RowHeight[] = {28, 14, 28, 14};
constexpr int AnnunciatorLeft = 7;
constexpr int AnnunciatorTop = 7;
constexpr int AnnunciatorPitch = 15;
constexpr int AnnunciatorWidth = 42;
constexpr int AnnunciatorHeight = 14;
} // namespace

CInstrumentDisplay::CInstrumentDisplay(QWidget *parent) : QWidget(parent)
{
    setFixedSize(Width, Height);
    setAttribute(Qt::WA_OpaquePaintEvent);
    for (int i = 0; i < Annunciators; ++i) {
        const QImage picture(QStringLiteral(":/engineering/annunciator%1.png").arg(i));
        m_lit[size_t(i)] = Tinted(picture, LitColour());
        m_dark[size_t(i)] = Tinted(picture, DarkColour());
    }
}

void CInstrumentDisplay::Point(const QByteArray *ram, qint64 address)
{
    m_ram = ram;
    m_address = address;
    m_read = false;
    update();
}

void CInstrumentDisplay::SetRead(bool read)
{
    m_read = read;
    update();
}

QByteArray CInstrumentDisplay::Memory() const
{
    if (!m_read || !m_ram || m_address < 0 || m_address + MemoryBytes > m_ram->size())
        return {};
    return m_ram->mid(m_address, MemoryBytes);
}

int CInstrumentDisplay::CellCode(int cell) const
{
    const QByteArray memory = Memory();
    if (memory.isEmpty() || cell < 0 || cell >= Cells)
        return ' ';
    return quint8(memory[cell]);
}

bool CInstrumentDisplay::AnnunciatorLit(int index) const
{
    const QByteArray memory = Memory();
    return !memory.isEmpty() && index >= 0 && index < Annunciators && ((quint8(memory[AnnunciatorByte]) >> index) & 1);
}

QRect CInstrumentDisplay::CellRect(int cell)
{
    const int row = qBound(0, cell / CellsPerRow, 3);
    const int column = cell % CellsPerRow;
    return {CellLeft + CellPitch * column, RowTop[row], CellWidth, RowHeight[row]};
}

QRect CInstrumentDisplay::AnnunciatorRect(int index)
{
    return {AnnunciatorLeft, AnnunciatorTop + AnnunciatorPitch * index, AnnunciatorWidth, AnnunciatorHeight};
}

void CInstrumentDisplay::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Background());

    const QByteArray memory = Memory();
    for (int i = 0; i < Annunciators; ++i) {
        const QImage &picture = AnnunciatorLit(i) ? m_lit[size_t(i)] : m_dark[size_t(i)];
        p.drawImage(AnnunciatorRect(i), picture);
    }

    if (!memory.isEmpty())
        m_generator.Define(UserCharacter, memory.mid(UserGlyphByte, CCharacterGenerator::Rows));
    for (int cell = 0; cell < Cells; ++cell) {
        const QRect r = CellRect(cell);
        const CCharacterGenerator::Glyph &glyph = m_generator.At(CellCode(cell));
        for (int row = 0; row < CCharacterGenerator::Rows; ++row) {
            const int y0 = r.top() + r.height() * row / CCharacterGenerator::Rows;
            const int y1 = r.top() + r.height() * (row + 1) / CCharacterGenerator::Rows;
            for (int col = 0; col < CCharacterGenerator::Columns; ++col) {
                const bool on = (glyph[size_t(row)] >> (CCharacterGenerator::Columns - 1 - col)) & 1;
                const int x0 = r.left() + r.width() * col / CCharacterGenerator::Columns;
                const int x1 = r.left() + r.width() * (col + 1) / CCharacterGenerator::Columns;
                // Like the glass, leave a hairline between dots big enough to have one.
                const int w = x1 - x0 >= 3 ? x1 - x0 - 1 : x1 - x0;
                const int h = y1 - y0 >= 3 ? y1 - y0 - 1 : y1 - y0;
                p.fillRect(QRect(x0, y0, x1 - x0, y1 - y0), DarkColour());
                if (on)
                    p.fillRect(QRect(x0, y0, w, h), LitColour());
            }
        }
    }
}
