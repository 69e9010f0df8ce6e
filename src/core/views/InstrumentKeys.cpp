// The instrument's three buttons as the "Instrument View" sends them: one byte of held buttons.
#include "InstrumentKeys.h"

quint8 CInstrumentKeys::BitOf(int key)
{
    switch (key) {
    case KeyRight: return OnOff;
    case KeyUp: return Up;
    case KeyDown: return Down;
    default: return 0;
    }
}

bool CInstrumentKeys::Press(int key, bool down)
{
    const quint8 bit = BitOf(key);
    const quint8 before = m_byte;
    m_byte = down ? quint8(m_byte | bit) : quint8(m_byte & ~bit);
    return m_byte != before;
}

bool CInstrumentKeys::ReleaseAll()
{
    const bool held = m_byte != 0;
    m_byte = 0;
    return held;
}
