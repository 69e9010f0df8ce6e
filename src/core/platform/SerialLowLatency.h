// The low-latency flag of a serial device. USB serial adapters otherwise hold
// received characters for their latency timer (up to 16 ms) before passing
// them on, which stretches every short exchange with the instrument. Asked
// for when a port opens and put back as it was found when it closes; a
// device that refuses (a pseudo-terminal) simply runs without it.
#pragma once

#include <QString>

class CSerialLowLatency
{
public:
    enum class Outcome {
        NotAsked,    // no device yet, or not a platform with the flag
        Set,         // the flag was off and is now on
        AlreadySet,  // the flag was on already: nothing to restore
        Refused,     // the device or kernel would not: see Reason()
    };

    // Asks for low latency on an open serial descriptor.
    Outcome Enable(int descriptor);
    // Clears the flag again when Enable set it; the descriptor must still be
    // open. Harmless when nothing was changed or the device has gone.
    void Restore();

    Outcome LastOutcome() const { return m_outcome; }
    // Why the device refused, in the system's words.
    QString Reason() const { return m_reason; }

    // Whether the flag is on for a descriptor; false when it cannot be read.
    static bool IsSet(int descriptor);

private:
    int m_descriptor = -1;
    Outcome m_outcome = Outcome::NotAsked;
    QString m_reason;
};
