// Base of the instrument views.
#include "InstrumentView.h"

#include "document/InstrumentDoc.h"

CInstrumentView::CInstrumentView(CInstrumentDoc &doc, const QString &title, QWidget *parent)
    : QWidget(parent), m_doc(doc), m_title(title)
{
    setWindowTitle(title);
    connect(&doc, &CInstrumentDoc::Updated, this, &CInstrumentView::OnUpdate);
}

void CInstrumentView::OnUpdate(int, const CReplyNotice &)
{
}
