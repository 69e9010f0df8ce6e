// The digital I/O group of the board test: buttons, switches, speaker, LEDs,
// pump and supplies, driven through the port images in the instrument's RAM
// with the operator watching.
#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

class CBoardTestSequence;
class CInstrumentDoc;

class CBoardTestDigitalGroup
{
public:
    explicit CBoardTestDigitalGroup(CBoardTestSequence &sequence);

    void StartLeaf(int position);

private:
    void ButtonReleased(const QString &name, int address, int bit);
    // Shows the prompt and reads the port until the bit reads as wanted.
    void WaitForBit(const QString &title, const QString &text, int base, int count, int address, int bit, bool set,
                    std::function<void(bool)> then);
    void SwitchTest(int base, int count, int address, int bit, bool setIsOn, const QString &caption,
                    const QString &question);
    void LelSupply(quint8 bits, const QString &key, const QString &question, bool last);

    CBoardTestSequence &m_seq;
    CInstrumentDoc &m_doc;
    std::function<void()> m_repeat;
    quint8 m_portF = 0;
};
