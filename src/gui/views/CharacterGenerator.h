// The instrument display's character generator: a 5 by 7 dot pattern for every character code.
#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <array>

/*
 * Seven row patterns per code, top row first; bits 4 to 0 are the dots from
 * left to right. The display's set is printable ASCII (32-126); codes 0-7 are
 * user-defined characters that the firmware loads at run time (it uses
 * character 5, e.g. for the battery gauge), and every other code is blank.
 */
class CCharacterGenerator
{
public:
    static constexpr int Rows = 7;
    static constexpr int Columns = 5;
    static constexpr int UserCodes = 8;
    using Glyph = std::array<quint8, Rows>;

    CCharacterGenerator();

    const Glyph &At(int code) const { return m_table[size_t(code & 0xFF)]; }
    // Loads a user-defined character from its seven row bytes (missing rows
    // blank). Codes beyond the user-defined ones keep their pattern.
    void Define(int code, const QByteArray &rows);

private:
    std::array<Glyph, 256> m_table{};
};
