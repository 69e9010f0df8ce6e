// The RAM and TimeKeeper groups of the board test: patterns written, read
// back and compared, block by block.
#pragma once

#include <QByteArray>

class CBoardTestSequence;
class CInstrumentDoc;

class CBoardTestMemoryGroups
{
public:
    explicit CBoardTestMemoryGroups(CBoardTestSequence &sequence);

    // The leaf at position runs the pattern of that kind.
    void StartRam(int position);
    void StartTimeKeeper(int position);
    // After the TimeKeeper group, whatever its outcome.
    void FinishTimeKeeper();

private:
    void RamBlock();
    void TimeKeeperPass();

    CBoardTestSequence &m_seq;
    CInstrumentDoc &m_doc;
    QByteArray m_ramPattern; // indexed by RAM address
    int m_ramAddress = 0;
    QByteArray m_tkPattern;  // indexed from TimeKeeper byte 8
};
