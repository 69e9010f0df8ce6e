// "Analog": the main board's ten converter channels, raw and converted, read every second.
#include "Analog.h"

#include "ReportList.h"
#include "app/ViewRegistry.h"
#include "document/InstrumentDoc.h"
#include "views/AnalogText.h"

#include <QVBoxLayout>

ALTAVO_REGISTER_VIEW(CAnalog, "Analog", 32811, true)

namespace {
const char *const ViewTitle = "Analog";
}

CAnalog::CAnalog(CInstrumentDoc &doc, QWidget *parent)
    : CInstrumentView(doc, QString::fromLatin1(ViewTitle), parent), m_list(new CReportList(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
    m_list->Reset();
    for (int c = 0; c < CAnalogText::ColumnCount; ++c)
        m_list->AddColumn(CAnalogText::ColumnTitle(c), CAnalogText::ColumnWidth(c), CAnalogText::RightAligned(c));
    m_list->SetRowCount(CAnalogText::RowCount);
    for (int row = 0; row < CAnalogText::RowCount; ++row) {
        for (int c = CAnalogText::Channel; c <= CAnalogText::Description; ++c)
            m_list->SetCell(row, c, CAnalogText::FixedCell(row, c));
    }
    m_list->FitColumns();
}

QSize CAnalog::FormSize() const
{
    return m_list->ContentSize();
}

void CAnalog::FillReply(const QByteArray &reply, const int *rows)
{
    for (int i = 0; i < 5; ++i) {
        const int raw = CAnalogText::ReplyWord(reply, i);
        for (int c = CAnalogText::Adc; c <= CAnalogText::Meaning; ++c)
            m_list->SetCell(rows[i], c, CAnalogText::ReadingCell(rows[i], c, raw));
    }
}

void CAnalog::OnUpdate(int code, const CReplyNotice &)
{
    switch (code) {
    case UpdateCode::Poll:
        Document().ReadAnalogA();
        Document().ReadAnalogB();
        break;
    case UpdateCode::AnalogA:
        FillReply(Document().AnalogA(), CAnalogText::RowsOfReplyA.data());
        break;
    case UpdateCode::AnalogB:
        FillReply(Document().AnalogB(), CAnalogText::RowsOfReplyB.data());
        break;
    default:
        break;
    }
}
