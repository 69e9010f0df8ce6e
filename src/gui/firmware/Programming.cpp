// The "Programming" form.
#include "Programming.h"

#include "FirmwarePrompt.h"
#include "HexFileDialog.h"
#include "app/ViewRegistry.h"
#include "document/InstrumentDoc.h"
#include "firmware/ProgrammingEngine.h"
#include "platform/Preferences.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

ALTAVO_REGISTER_VIEW(CProgramming, "Programming", 32774, false)

namespace {
namespace Text {
const char *const Title = "Programming";
const char *const Group = "Download Code";
const char *const Browse = "Browse";
const char *const Disable = "Disable";
const char *const Program = "Program";
const char *const Recover = "Recover";
} // namespace Text

QString T(const char *text) { return QString::fromLatin1(text); }
} // namespace

CProgramming::CProgramming(CInstrumentDoc &doc, QWidget *parent)
    : CInstrumentView(doc, T(Text::Title), parent),
      m_ownPrompt(std::make_unique<CFirmwarePrompt>(this)),
      m_prompt(m_ownPrompt.get()),
      m_engine(std::make_unique<CProgrammingEngine>(doc, T(Pref::Programming)))
{
    m_engine->SetPrompt(m_prompt);
    m_engine->SetCaption(T(Text::Title));
    BuildForm();
    connect(m_engine.get(), &CProgrammingEngine::ProgressChanged, this, [this](int position, int maximum) {
        m_progress->setRange(0, qMax(maximum, 1));
        m_progress->setValue(position);
    });
    connect(m_engine.get(), &CProgrammingEngine::StatusTextChanged, m_status, &QLabel::setText);
}

CProgramming::~CProgramming() = default;

void CProgramming::SetPrompt(IUserPrompt *prompt)
{
    m_prompt = prompt ? prompt : m_ownPrompt.get();
    m_engine->SetPrompt(m_prompt);
}

void CProgramming::BuildForm()
{
    auto *box = new QGroupBox(T(Text::Group), this);
    auto *grid = new QGridLayout(box);
    m_file = new QLineEdit(box);
    m_file->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 48);
    m_browse = new QPushButton(T(Text::Browse), box);
    m_disable = new QCheckBox(T(Text::Disable), box);
    m_program = new QPushButton(T(Text::Program), box);
    m_recover = new QPushButton(T(Text::Recover), box);
    m_progress = new QProgressBar(box);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_status = new QLabel(box);
    m_status->setMinimumHeight(fontMetrics().height());

    grid->addWidget(m_file, 0, 0, 1, 3);
    grid->addWidget(m_browse, 0, 3);
    grid->addWidget(m_disable, 1, 0);
    grid->addWidget(m_program, 1, 2);
    grid->addWidget(m_recover, 1, 3);
    grid->addWidget(m_progress, 2, 0, 1, 4);
    grid->addWidget(m_status, 3, 0, 1, 4);
    grid->setColumnStretch(1, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addStretch(1);

    connect(m_file, &QLineEdit::editingFinished, this, &CProgramming::StoreFileName);
    connect(m_browse, &QPushButton::clicked, this, &CProgramming::Browse);
    connect(m_disable, &QCheckBox::clicked, this,
            [this](bool ticked) { CProgrammingEngine::ChangeProgramMode(Document(), ticked ? 1 : 0); });
    connect(m_program, &QPushButton::clicked, this, &CProgramming::Program);
    connect(m_recover, &QPushButton::clicked, this, [this] { Document().StartRecovery(); });
}

void CProgramming::OnInitialUpdate()
{
    m_status->clear();
    m_progress->setValue(0);
    m_file->setText(CPreferences::GetString(T(Pref::Programming), T(Pref::HexFile)));
    CInstrumentDoc &doc = Document();
    doc.QueryProgramMode();
    doc.ReadConfigurationA();
    doc.ReadConfigurationB();
    doc.ReadToxicTableCount();
    doc.ReadWords(CProgrammingEngine::IdentityWord, CProgrammingEngine::IdentityReadWords);
}

void CProgramming::OnUpdate(int code, const CReplyNotice &notice)
{
    CInstrumentView::OnUpdate(code, notice);
    if (code == UpdateCode::ProgramMode || code == UpdateCode::SetProgramMode)
        ShowProgramMode();
}

void CProgramming::ShowProgramMode()
{
    m_disable->setChecked(Document().ProgramMode() != 0);
}

void CProgramming::StoreFileName()
{
    CProgrammingEngine::StoreFileName(m_file->text());
}

void CProgramming::Browse()
{
    m_file->setText(CHexFileDialog::Choose(this, m_file->text()));
    StoreFileName();
    m_status->clear();
    m_progress->setValue(0);
}

void CProgramming::Program()
{
    StoreFileName();
    if (!m_engine->Start(m_file->text()))
        m_prompt->Message(T(Text::Title), m_engine->ErrorString(), IUserPrompt::Icon::Stop);
}
