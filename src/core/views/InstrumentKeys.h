// The instrument's three buttons as the "Instrument View" sends them: one byte of held buttons.
#pragma once

#include <QtGlobal>

/*
 * Bit 0 On/Off (the Right arrow), bit 1 Up, bit 2 Down. The keys are the
 * platform's arrow-key codes 38 (up), 39 (right) and 40 (down); 37 (left)
 * and every other key belongs to no button.
 */
class CInstrumentKeys
{
public:
    enum Key { KeyUp = 38, KeyRight = 39, KeyDown = 40 };
    enum Bit : quint8 { OnOff = 0x01, Up = 0x02, Down = 0x04 };

    // The button bit of a key code; 0 for a key that is no button.
    static quint8 BitOf(int key);

    // A key went down or up. True when the held buttons changed, i.e. when
    // the instrument must be told; a repeated key-down changes nothing.
    bool Press(int key, bool down);
    // Lets every button go (the view lost the keyboard while one was held).
    // True when any was held.
    bool ReleaseAll();
    quint8 Byte() const { return m_byte; }

private:
    quint8 m_byte = 0;
};
