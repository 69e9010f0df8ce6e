// The document's copy of the instrument's word-addressed flash memory.
#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <array>

/*
 * 0x28000 16-bit words held as 0x50000 bytes: word W lives at bytes 2W and
 * 2W + 1, low byte first, exactly as the instrument sends them. Every byte is
 * 0xFF until something is read, which is also what an erased sector holds.
 *
 * Addresses are taken as qint64 so that a negative or oversized address from
 * a reply can be rejected rather than wrapped; nothing here reads or writes
 * outside the buffer.
 */
class CWordImage
{
public:
    static constexpr qint64 WordCount = 0x28000;
    static constexpr qint64 ByteCount = 2 * WordCount;

    // Flash sector bounds in words; sector i holds [SectorBounds[i], SectorBounds[i + 1]).
    // Words below the first bound belong to no erasable sector.
    static constexpr std::array<qint64, 8> SectorBounds{0x8000, 0xA000, 0xB000, 0xC000,
                                                        0x10000, 0x18000, 0x20000, 0x28000};
    static constexpr int SectorCount = int(SectorBounds.size()) - 1;

    CWordImage();

    // 0xFFFF (erased flash) for an address outside the image.
    quint16 Word(qint64 word) const;
    // Ignored outside the image.
    void SetWord(qint64 word, quint16 value);

    // Copies a received block to word address `word` on. Bytes that would land
    // outside the image are dropped. Returns the number of bytes stored.
    int Store(qint64 word, const QByteArray &bytes);
    // Up to byteCount bytes from word address `word`, cut at the image's end;
    // empty when the address lies outside the image.
    QByteArray Bytes(qint64 word, int byteCount) const;

    // The sector (0..SectorCount-1) holding the word, or -1.
    static int SectorOf(qint64 word);
    // Sets every word of the sector holding `word` to 0xFFFF, as the
    // instrument's erase does. Returns false (and changes nothing) when the
    // word lies in no sector.
    bool BlankSector(qint64 word);

    // The whole image, for the memory viewers.
    const QByteArray &Raw() const { return m_bytes; }

private:
    QByteArray m_bytes;
};
