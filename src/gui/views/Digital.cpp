// "Digital": the main board's port pins and output latches with their decoded meanings, read every second.
#include "Digital.h"

#include "ReportList.h"
#include "app/ViewRegistry.h"
#include "document/InstrumentDoc.h"

#include <QVBoxLayout>

ALTAVO_REGISTER_VIEW(CDigital, "Digital", 32827, true)

namespace {
const char *const ViewTitle = "Digital";
}

CDigital::CDigital(CInstrumentDoc &doc, QWidget *parent)
    : CInstrumentView(doc, QString::fromLatin1(ViewTitle), parent), m_list(new CReportList(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
    m_list->Reset();
    for (int c = 0; c < CDigitalText::ColumnCount; ++c)
        m_list->AddColumn(CDigitalText::ColumnTitle(c), CDigitalText::ColumnWidth(c));
    m_list->SetRowCount(CDigitalText::RowCount);
    for (int row = 0; row < CDigitalText::RowCount; ++row) {
        for (int c = CDigitalText::PortColumn; c <= CDigitalText::Description; ++c)
            m_list->SetCell(row, c, CDigitalText::FixedCell(row, c));
    }
    m_list->FitColumns();
}

QSize CDigital::FormSize() const
{
    return m_list->ContentSize();
}

void CDigital::SetState(int row, const CDigitalText::State &state)
{
    m_list->SetCell(row, CDigitalText::Dir, state.dir);
    m_list->SetCell(row, CDigitalText::Value, state.value);
    m_list->SetCell(row, CDigitalText::Meaning, state.meaning);
}

void CDigital::FillPort(CDigitalText::Port port)
{
    int direction = 0, data = 0;
    if (!CDigitalText::PortBytes(Document().Ram(), port, &direction, &data))
        return;
    for (int row : CDigitalText::RowsOf(port)) {
        if (row == CDigitalText::UpButtonRow || row == CDigitalText::DownButtonRow)
            m_list->SetCell(row, CDigitalText::Dir, CDigitalText::PinState(row, direction, data).dir);
        else
            SetState(row, CDigitalText::PinState(row, direction, data));
    }
}

void CDigital::FillButtons()
{
    const int flags = Document().PortByte();
    for (int row : {CDigitalText::UpButtonRow, CDigitalText::DownButtonRow})
        SetState(row, CDigitalText::ButtonState(row, flags));
}

void CDigital::OnUpdate(int code, const CReplyNotice &notice)
{
    switch (code) {
    case UpdateCode::Poll:
        for (const CDigitalText::Read &read : CDigitalText::Reads())
            Document().ReadRam(read.address, read.count);
        Document().ReadPort();
        break;
    case UpdateCode::RamBlock:
        for (CDigitalText::Port port : CDigitalText::PortsAt(notice.address))
            FillPort(port);
        break;
    case UpdateCode::Port:
        FillButtons();
        break;
    default:
        break;
    }
}
