// The log window's child frame: the log view in a frame of its own caption "Log View".
#pragma once

#include "app/InstrumentFrame.h"

class CLog;

class CLogFrame : public CInstrumentFrame
{
    Q_OBJECT
public:
    explicit CLogFrame(CLog *view, QWidget *parent = nullptr);

    CLog *Log() const { return m_log; }

private:
    CLog *m_log;
};
