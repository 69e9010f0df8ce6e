// The flash group of the board test: the flash test code goes in, the
// pattern sectors are erased, blank checked, programmed and verified, and the
// board's own firmware goes in last.
#pragma once

#include <QList>
#include <QtGlobal>

class CBoardTestSequence;
class CInstrumentDoc;

class CBoardTestFlashGroup
{
public:
    explicit CBoardTestFlashGroup(CBoardTestSequence &sequence);

    void StartLeaf(int position);

private:
    void Download(const char *key, const char *defaultName);
    void Erase(const QList<int> &sectors, int index);
    void Blocks(quint32 from, quint32 to, int mode, quint32 word);

    CBoardTestSequence &m_seq;
    CInstrumentDoc &m_doc;
};
