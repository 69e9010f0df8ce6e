// The instrument's liquid-crystal display drawn from its 40 bytes of display
// memory: seven annunciators and 32 character cells of 5 by 7 dots.
#pragma once

#include "CharacterGenerator.h"

#include <QColor>
#include <QImage>
#include <QWidget>
#include <array>

/*
 * Display memory: bytes 0-31 the character codes of the cells, 32-38 the row
 * patterns of user-defined character 5, byte 39 the annunciator bits
 * (bit i lights annunciator i). Cells sit in four rows of eight: large rows
 * (0-7, 16-23) and short rows below each (8-15, 24-31), all drawn with the
 * same 5 by 7 pattern stretched to the cell.
 */
class CInstrumentDisplay : public QWidget
{
    Q_OBJECT
public:
    static constexpr int Width = 256;
    static constexpr int Height = 115;
    static constexpr int MemoryBytes = 40;
    static constexpr int Cells = 32;
    static constexpr int Annunciators = 7;
    static constexpr int UserGlyphByte = 32;
    static constexpr int AnnunciatorByte = 39;
    static constexpr int UserCharacter = 5;

    explicit CInstrumentDisplay(QWidget *parent = nullptr);

    // Draws from `ram` (which must outlive the control) at `address`; an
    // address whose 40 bytes the image does not hold shows a blank display.
    void Point(const QByteArray *ram, qint64 address);
    // Whether the display memory has been read since the control was pointed.
    void SetRead(bool read);
    bool IsRead() const { return m_read; }

    // The character code a cell shows now (a space while nothing was read),
    // and whether an annunciator is lit.
    int CellCode(int cell) const;
    bool AnnunciatorLit(int index) const;
    static QRect CellRect(int cell);
    static QRect AnnunciatorRect(int index);

    static QColor LitColour() { return QColor(0, 0, 0); }
    static QColor DarkColour() { return QColor(192, 192, 192); }
    static QColor Background() { return QColor(192, 192, 192); }

    QSize sizeHint() const override { return {Width, Height}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QByteArray Memory() const;

    const QByteArray *m_ram = nullptr;
    qint64 m_address = -1;
    bool m_read = false;
    CCharacterGenerator m_generator;
    std::array<QImage, Annunciators> m_lit;
    std::array<QImage, Annunciators> m_dark;
};
