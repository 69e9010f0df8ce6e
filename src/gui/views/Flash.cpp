// "Flash": a hexadecimal dump of the instrument's whole word memory.
#include "Flash.h"

#include "FlashModel.h"
#include "app/ViewRegistry.h"
#include "document/InstrumentDoc.h"
#include "platform/Preferences.h"
#include "views/MemoryDumpText.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

ALTAVO_REGISTER_VIEW(CFlash, "Flash", 32806, true)

namespace {
namespace Text {
const char *const Title = "Flash";
const char *const TopIndex = "TopIndex";
} // namespace Text
constexpr int AddressWidth = 60;
constexpr int WordWidth = 55;
constexpr int WordsPerRead = 8;
} // namespace

CFlash::CFlash(CInstrumentDoc &doc, QWidget *parent)
    : CInstrumentView(doc, QString::fromLatin1(Text::Title), parent),
      m_model(new CFlashModel(doc.Words(), this)),
      m_list(new QTreeView(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setAlternatingRowColors(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_list->setModel(m_model);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_list->setColumnWidth(0, AddressWidth);
    for (int c = 1; c < CFlashModel::ColumnCount; ++c)
        m_list->setColumnWidth(c, WordWidth);
}

CFlash::~CFlash()
{
    CPreferences::SetInt(Title(), QString::fromLatin1(Text::TopIndex), TopRow());
}

QSize CFlash::FormSize() const
{
    return {AddressWidth + (CFlashModel::ColumnCount - 1) * WordWidth + 24, 400};
}

int CFlash::TopRow() const
{
    const QModelIndex top = m_list->indexAt(QPoint(1, 1));
    return top.isValid() ? top.row() : 0;
}

int CFlash::PageRows() const
{
    const int h = m_list->sizeHintForRow(0);
    return h > 0 ? qMax(1, (m_list->viewport()->height() + h - 1) / h) : 1;
}

void CFlash::ScrollToTop(int row)
{
    m_list->scrollTo(m_model->index(qBound(0, row, CMemoryDumpText::FlashRowCount - 1), 0),
                     QAbstractItemView::PositionAtTop);
}

void CFlash::OnInitialUpdate()
{
    ReadRow(0);
    const int top = CPreferences::GetInt(Title(), QString::fromLatin1(Text::TopIndex), 0);
    ScrollToTop(top);
    // The list may lay itself out only once the frame shows it.
    QTimer::singleShot(0, this, [this, top] { ScrollToTop(top); });
}

void CFlash::ReadRow(int row)
{
    m_reading = row;
    const quint32 word = quint32(row) * CMemoryDumpText::CellsPerRow;
    Document().ReadWords(word, WordsPerRead);
    Document().ReadWords(word + WordsPerRead, WordsPerRead);
}

void CFlash::OnUpdate(int code, const CReplyNotice &notice)
{
    switch (code) {
    case UpdateCode::WordBlock: {
        const int first = CMemoryDumpText::FlashRowOfWord(notice.address);
        if (first < 0)
            break;
        const qint64 lastWord = notice.address + qMax(0, (notice.count + 1) / 2 - 1);
        const int last = CMemoryDumpText::FlashRowOfWord(qMin(lastWord, CWordImage::WordCount - 1));
        m_model->RowsChanged(first, last);
        if (m_reading >= 0 && notice.address == CMemoryDumpText::FlashRowCompletionWord(m_reading)) {
            m_replySeen = true;
            ReadRow(CMemoryDumpText::FlashNextRow(m_reading, TopRow(), PageRows()));
        }
        break;
    }
    case UpdateCode::Poll:
        // No row completed for a whole poll: a reply was lost and the
        // cycle stopped, so it starts again at the top of the page.
        if (!m_replySeen)
            ReadRow(TopRow());
        m_replySeen = false;
        break;
    default:
        break;
    }
}
