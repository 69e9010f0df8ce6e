// The log window's frame.
#include "LogFrame.h"

#include "Log.h"

CLogFrame::CLogFrame(CLog *view, QWidget *parent) : CInstrumentFrame(view, parent), m_log(view)
{
}
