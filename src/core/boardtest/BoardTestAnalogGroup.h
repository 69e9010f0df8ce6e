// The analog I/O group of the board test: each measurement switches the board
// to its part or mux setting, then reads the channel until the value is
// within its limits or the operator cancels.
#pragma once

#include "BoardTestMeasurement.h"

#include <QList>

class CBoardTestSequence;
class CInstrumentDoc;

class CBoardTestAnalogGroup
{
public:
    explicit CBoardTestAnalogGroup(CBoardTestSequence &sequence);

    void StartLeaf(int position);

private:
    void Measure(int index);
    void ReadMeasurement();

    CBoardTestSequence &m_seq;
    CInstrumentDoc &m_doc;
    QList<CBoardTestMeasurement> m_measurements;
    int m_measure = 0;
    quint8 m_mux[2] = {0, 0};
};
