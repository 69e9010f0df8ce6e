// "Toxic Table": every toxic gas record of the instrument's table side by side, read-only.
#include "ToxicTable.h"

#include "ReportList.h"
#include "app/ViewRegistry.h"
#include "document/InstrumentDoc.h"
#include "views/ToxicTableText.h"

#include <QVBoxLayout>

ALTAVO_REGISTER_VIEW(CToxicTable, "Toxic Table", 32836, true)

namespace {
namespace Text {
const char *const Title = "Toxic Table";
const char *const Parameter = "Parameter";
} // namespace Text
constexpr int ParameterWidth = 160;
constexpr int GasWidth = 60;
constexpr int TypicalGases = 7;
// A record's chunks travel at record x 256 + offset.
constexpr int RecordStride = 256;
} // namespace

CToxicTable::CToxicTable(CInstrumentDoc &doc, QWidget *parent)
    : CInstrumentView(doc, QString::fromLatin1(Text::Title), parent), m_list(new CReportList(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
    m_list->Reset();
    m_list->AddColumn(QString::fromLatin1(Text::Parameter), ParameterWidth);
    m_list->SetRowCount(CToxicTableText::RowCount);
    for (int row = 0; row < CToxicTableText::RowCount; ++row)
        m_list->SetCell(row, 0, CToxicTableText::RowLabel(row));
    m_list->FitColumns();
}

void CToxicTable::OnInitialUpdate()
{
    Document().ReadToxicTableCount();
}

QSize CToxicTable::FormSize() const
{
    // Room for the usual table even before its records have arrived.
    QSize size = m_list->ContentSize();
    const int missing = TypicalGases - (m_list->columnCount() - 1);
    if (missing > 0)
        size.rwidth() += missing * GasWidth;
    return size;
}

void CToxicTable::FillRecord(int record)
{
    // Record 0 is the "no sensor" entry; records may arrive in any order, so
    // the columns before a late one are made (and headed) when it comes.
    while (m_list->columnCount() <= record)
        m_list->AddColumn(QString(), GasWidth, true);
    const CToxicRecord &r = Document().Settings().ToxicRecord(record);
    m_list->SetColumnTitle(record, r.GasName());
    for (int row = 0; row < CToxicTableText::RowCount; ++row)
        m_list->SetCell(row, record, CToxicTableText::Cell(r, row));
}

void CToxicTable::OnUpdate(int code, const CReplyNotice &notice)
{
    if (code != UpdateCode::ToxicRecord)
        return;
    const qint64 record = notice.address / RecordStride;
    if (record > 0 && record < Document().Settings().ToxicCount())
        FillRecord(int(record));
}
