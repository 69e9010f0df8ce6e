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

CInstrumentView::~CInstrumentView()
{
    // The form's fields go later, with the widget part of the view, and a
    // field that has the focus then loses it: a typed value counts as
    // finished. Nothing a field says at that point may reach the view, whose
    // own part is gone by then.
    for (QObject *child : findChildren<QObject *>())
        disconnect(child, nullptr, this, nullptr);
}
