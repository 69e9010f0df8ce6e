// "Memory": the seven flash sectors with their use markers, fill pointers, fill gauges and erase buttons.
#include "Memory.h"

#include "app/ViewRegistry.h"
#include "document/InstrumentDoc.h"
#include "views/MemoryMapText.h"

#include <QFontDatabase>
#include <iterator>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

ALTAVO_REGISTER_VIEW(CMemory, "Memory", 32809, true)

namespace {
namespace Text {
const char *const Title = "Memory";
const char *const Headings[] = {"Sector (words)", "Word0", "Use", "Pointer", "Used", ""};
const char *const Erase = "Erase";
const char *const EraseCaption = "Erase Sector";
} // namespace Text
// Gauges count in tenths of a percent so "%3.0lf%%" rounds as the text does.
constexpr int GaugeSteps = 1000;
constexpr int PointerMemory = UpdateCode::MemoryPointer0; // pointer k arrives as this + k
} // namespace

CMemory::CMemory(CInstrumentDoc &doc, QWidget *parent)
    : CInstrumentView(doc, QString::fromLatin1(Text::Title), parent)
{
    BuildForm();
}

void CMemory::BuildForm()
{
    auto *grid = new QGridLayout(this);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(6);
    for (int c = 0; c < int(std::size(Text::Headings)); ++c) {
        auto *heading = new QLabel(QString::fromLatin1(Text::Headings[c]), this);
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
        grid->addWidget(heading, 0, c);
    }
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    auto field = [this, &fixed](int width) {
        auto *edit = new QLineEdit(this);
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::NoFocus);
        edit->setFont(fixed);
        edit->setFixedWidth(width);
        return edit;
    };
    for (int row = 0; row < SectorRows; ++row) {
        const size_t i = size_t(row);
        m_address[i] = new QLabel(this);
        m_address[i]->setFont(fixed);
        m_word0[i] = field(60);
        m_use[i] = field(80);
        m_pointer[i] = field(60);
        m_gauge[i] = new QProgressBar(this);
        m_gauge[i]->setRange(0, GaugeSteps);
        m_gauge[i]->setValue(0);
        m_gauge[i]->setTextVisible(false);
        m_gauge[i]->setMinimumWidth(140);
        m_gauge[i]->setFormat(QString());
        m_erase[i] = new QPushButton(QString::fromLatin1(Text::Erase), this);
        connect(m_erase[i], &QPushButton::clicked, this, [this, row] { OnErase(row); });
        const int line = row + 1;
        grid->addWidget(m_address[i], line, 0);
        grid->addWidget(m_word0[i], line, 1);
        grid->addWidget(m_use[i], line, 2);
        grid->addWidget(m_pointer[i], line, 3);
        grid->addWidget(m_gauge[i], line, 4);
        grid->addWidget(m_erase[i], line, 5);
    }
    grid->setColumnStretch(4, 1);
    grid->setRowStretch(SectorRows + 1, 1);
}

void CMemory::OnInitialUpdate()
{
    for (int row = 0; row < SectorRows; ++row)
        m_address[size_t(row)]->setText(CMemoryMapText::SectorLabel(row));
}

void CMemory::ShowGauge(int row, int pointer, double percent)
{
    const size_t i = size_t(row);
    m_pointer[i]->setText(CMemoryMapText::WordText(pointer));
    m_gauge[i]->setValue(qBound(0, qRound(percent * GaugeSteps / 100.0), GaugeSteps));
    m_gauge[i]->setFormat(CMemoryMapText::GaugeText(percent));
    m_gauge[i]->setTextVisible(true);
}

void CMemory::ClearGauge(int row)
{
    const size_t i = size_t(row);
    m_pointer[i]->clear();
    m_gauge[i]->setValue(0);
    m_gauge[i]->setFormat(QString());
    m_gauge[i]->setTextVisible(false);
}

void CMemory::ShowMarker(int row)
{
    const CWordImage &words = Document().Words();
    const quint16 marker = words.Word(CMemoryMapText::MarkerWord(row));
    const size_t i = size_t(row);
    m_word0[i]->setText(CMemoryMapText::WordText(marker));
    if (row == CMemoryMapText::ConfigurationRow)
        m_pointer[i]->setText(CMemoryMapText::WordText(words.Word(CMemoryMapText::ConfigurationPointerWord)));
    m_use[i]->setText(CMemoryMapText::UseText(marker));

    // A sector that no longer carries its marker (erased, or taken over for
    // something else) stops being that sector, so no stale pointer lands on it.
    for (int *known : {&m_stelRow, &m_twaRow, &m_currentRow}) {
        if (*known == row)
            *known = -1;
    }
    switch (CMemoryMapText::RoleOf(marker)) {
    case CMemoryMapText::StelRole: m_stelRow = row; break;
    case CMemoryMapText::TwaRole: m_twaRow = row; break;
    case CMemoryMapText::CurrentLogRole: m_currentRow = row; break;
    default: break;
    }
    if (!CMemoryMapText::InUse(marker))
        ClearGauge(row);
}

void CMemory::OnUpdate(int code, const CReplyNotice &notice)
{
    CInstrumentDoc &doc = Document();
    switch (code) {
    case UpdateCode::Poll:
        for (int row = 0; row < SectorRows; ++row)
            doc.ReadWords(CMemoryMapText::MarkerWord(row), CMemoryMapText::MarkerReadWords(row));
        for (int k = 0; k < 3; ++k)
            doc.ReadMemoryPointer(k);
        break;
    case UpdateCode::WordBlock: {
        const int row = CMemoryMapText::RowOfMarkerWord(notice.address);
        if (row >= 0)
            ShowMarker(row);
        break;
    }
    case PointerMemory:
    case PointerMemory + 1: {
        const int row = code == PointerMemory ? m_stelRow : m_twaRow;
        if (row >= 0) {
            const int pointer = doc.MemoryPointer(code - PointerMemory);
            ShowGauge(row, pointer, CMemoryMapText::AverageSectorPercent(pointer));
        }
        break;
    }
    case PointerMemory + 2:
        if (m_currentRow >= CMemoryMapText::FirstLogRow) {
            const int pointer = doc.MemoryPointer(2);
            ShowGauge(m_currentRow, pointer, CMemoryMapText::LogSectorPercent(pointer));
        }
        break;
    default:
        break;
    }
}

void CMemory::OnErase(int row)
{
    const QString question = CMemoryMapText::EraseQuestion(row, m_use[size_t(row)]->text());
    const bool yes = m_confirmErase
        ? m_confirmErase(question)
        : QMessageBox::warning(this, QString::fromLatin1(Text::EraseCaption), question,
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
              == QMessageBox::Yes;
    if (yes)
        Document().EraseSector(CMemoryMapText::SectorStart(row));
}
