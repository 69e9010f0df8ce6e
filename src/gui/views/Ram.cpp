// "RAM": a hexadecimal dump of the instrument's RAM.
#include "Ram.h"

#include "ReportList.h"
#include "app/ViewRegistry.h"
#include "document/InstrumentDoc.h"
#include "platform/Preferences.h"
#include "views/MemoryDumpText.h"

#include <QFontDatabase>
#include <QTimer>
#include <QVBoxLayout>

ALTAVO_REGISTER_VIEW(CRam, "RAM", 32796, true)

namespace {
namespace Text {
const char *const Title = "RAM";
const char *const TopIndex = "TopIndex";
} // namespace Text
constexpr int ColumnWidth = 50;
} // namespace

CRam::CRam(CInstrumentDoc &doc, QWidget *parent)
    : CInstrumentView(doc, QString::fromLatin1(Text::Title), parent), m_list(new CReportList(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
    m_list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_list->Reset();
    m_list->AddColumn(QString(), ColumnWidth);
    for (int c = 0; c < CMemoryDumpText::CellsPerRow; ++c)
        m_list->AddColumn(QString::number(c, 16).toUpper(), ColumnWidth);
    m_list->SetRowCount(CMemoryDumpText::RamRowCount);
    for (int row = 0; row < CMemoryDumpText::RamRowCount; ++row)
        m_list->SetCell(row, 0, CMemoryDumpText::RamRowLabel(row));
}

CRam::~CRam()
{
    CPreferences::SetInt(Title(), QString::fromLatin1(Text::TopIndex), m_list->TopRow());
}

QSize CRam::FormSize() const
{
    return {m_list->ContentSize().width() + 24, 400};
}

void CRam::OnInitialUpdate()
{
    Document().ReadRam(0, CMemoryDumpText::CellsPerRow);
    const int top = CPreferences::GetInt(Title(), QString::fromLatin1(Text::TopIndex), 0);
    m_list->ScrollToTop(top);
    QTimer::singleShot(0, this, [this, top] { m_list->ScrollToTop(top); });
}

void CRam::FillRow(int row)
{
    const QByteArray &ram = Document().Ram();
    for (int c = 0; c < CMemoryDumpText::CellsPerRow; ++c)
        m_list->SetCell(row, c + 1, CMemoryDumpText::RamCell(ram, row, c));
}

void CRam::OnUpdate(int code, const CReplyNotice &notice)
{
    switch (code) {
    case UpdateCode::Poll: {
        // One row more than a full page, so a partly shown last row is read too.
        const int top = m_list->TopRow();
        const int last = qMin(top + m_list->PageRows(), CMemoryDumpText::RamRowCount - 1);
        for (int row = top; row <= last; ++row)
            Document().ReadRam(CMemoryDumpText::RamRowStart(row), CMemoryDumpText::CellsPerRow);
        break;
    }
    case UpdateCode::RamBlock: {
        const int row = CMemoryDumpText::RamRowOfAddress(notice.address);
        if (row >= 0)
            FillRow(row);
        break;
    }
    default:
        break;
    }
}
