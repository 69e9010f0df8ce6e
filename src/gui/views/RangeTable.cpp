// "Range Table": the four range records of the combustible sensor side by side, read-only.
#include "RangeTable.h"

#include "ReportList.h"
#include "app/ViewRegistry.h"
#include "document/InstrumentDoc.h"
#include "views/RangeTableText.h"

#include <QVBoxLayout>

ALTAVO_REGISTER_VIEW(CRangeTable, "Range Table", 32861, true)

namespace {
namespace Text {
const char *const Title = "Range Table";
const char *const Parameter = "Parameter";
} // namespace Text
constexpr int ParameterWidth = 120;
constexpr int RangeWidth = 60;
} // namespace

CRangeTable::CRangeTable(CInstrumentDoc &doc, QWidget *parent)
    : CInstrumentView(doc, QString::fromLatin1(Text::Title), parent), m_list(new CReportList(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
    BuildList();
}

void CRangeTable::BuildList()
{
    m_list->Reset();
    m_list->AddColumn(QString::fromLatin1(Text::Parameter), ParameterWidth);
    for (int r = 0; r < CRangeRecord::Count; ++r)
        m_list->AddColumn(QString::number(r), RangeWidth, true);
    m_list->SetRowCount(CRangeTableText::RowCount);
    for (int row = 0; row < CRangeTableText::RowCount; ++row)
        m_list->SetCell(row, 0, CRangeTableText::RowLabel(row));
    m_list->FitColumns();
}

void CRangeTable::OnInitialUpdate()
{
    for (int r = 0; r < CRangeRecord::Count; ++r)
        FillRange(r);
    Document().ReadConfigurationB();
}

QSize CRangeTable::FormSize() const
{
    return m_list->ContentSize();
}

void CRangeTable::FillRange(int range)
{
    const CSettingsImage &s = Document().Settings();
    const CRangeRecord record = s.RangeRecord(range);
    const bool active = s.GetHCRangeIndex() == range;
    for (int row = 0; row < CRangeTableText::RowCount; ++row)
        m_list->SetCell(row, range + 1, CRangeTableText::Cell(record, row, active));
}

void CRangeTable::FillActive()
{
    const CSettingsImage &s = Document().Settings();
    for (int r = 0; r < CRangeRecord::Count; ++r)
        m_list->SetCell(CRangeTableText::Active, r + 1,
                        CRangeTableText::Cell(s.RangeRecord(r), CRangeTableText::Active, s.GetHCRangeIndex() == r));
}

void CRangeTable::OnUpdate(int code, const CReplyNotice &notice)
{
    switch (code) {
    case UpdateCode::WordBlock:
        for (int r = 0; r < CRangeRecord::Count; ++r) {
            if (CSettingsImage::BlockTouchesRangeRecord(notice.address, notice.count, r))
                FillRange(r);
        }
        break;
    case UpdateCode::RangeIndex:
    case UpdateCode::Settings:
        FillActive();
        break;
    default:
        break;
    }
}
