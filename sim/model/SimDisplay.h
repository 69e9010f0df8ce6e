// The simulated instrument's display: what the firmware draws into its 40
// bytes of display memory for the screen shown, and how the three buttons
// move between screens and switch the display on and off.
#pragma once

#include <QByteArray>
#include <QtGlobal>

class CSimInstrument;

/*
 * Display memory: bytes 0-31 are four rows of eight character cells (large,
 * small, large, small), 32-38 the row patterns of user character 5 (the
 * battery gauge: one bar per row from the bottom), 39 the annunciators:
 *   bit 0 heartbeat (odd seconds), 1 gas alarm, 2 low battery, 3 peak
 *   screen, 4 STEL and 5 TWA (averages screen), 6 data logging.
 * Buttons (bit 0 On/Off, 1 Up, 2 Down) act when they go down: On/Off turns
 * the display off and on again (on shows the readings), Down steps to the
 * next screen and Up to the previous one, round the four screens.
 */
class CSimDisplay
{
public:
    enum Screen { Readings, Peaks, Averages, Status, ScreenCount };
    static constexpr int Bytes = 40;
    static constexpr int UserCharacter = 5;

    // Buttons held now; only those that were not held before act.
    void Buttons(quint8 held);
    // Power-on: display on, readings shown, no button held.
    void Reset();

    bool IsOn() const { return m_on; }
    Screen Shown() const { return m_screen; }

    // The display memory for the instrument as it is now.
    QByteArray Draw(CSimInstrument &instrument) const;

private:
    quint8 m_held = 0;
    bool m_on = true;
    Screen m_screen = Readings;
};
