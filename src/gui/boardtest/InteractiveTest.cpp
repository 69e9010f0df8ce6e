// The board test view.
#include "InteractiveTest.h"

#include "BoardTestPrompt.h"
#include "app/CommandIds.h"
#include "app/GuiPrompt.h"
#include "app/ViewRegistry.h"
#include "boardtest/BoardTestSequence.h"
#include "boardtest/EngineDownload.h"

#include <QHeaderView>
#include <QIcon>
#include <QTreeWidget>
#include <QVBoxLayout>

ALTAVO_REGISTER_VIEW(CInteractiveTest, "Interactive Test", 0, false)

namespace {
QIcon StateImage(int state)
{
    static const char *const Names[] = {":/boardtest/notrun.xpm", ":/boardtest/running.xpm", ":/boardtest/passed.xpm",
                                        ":/boardtest/failed.xpm"};
    return QIcon(QString::fromLatin1(Names[qBound(0, state, 3)]));
}
} // namespace

CInteractiveTest::CInteractiveTest(CInstrumentDoc &doc, QWidget *parent)
    : CInstrumentView(doc, QString::fromLatin1(Title), parent),
      m_ownPrompt(std::make_unique<CGuiPrompt>(this)),
      m_prompt(m_ownPrompt.get()),
      m_test(new CBoardTestSequence(doc, m_prompt, this)),
      m_tree(new QTreeWidget(this)),
      m_window(new CBoardTestPrompt(this))
{
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setIconSize(QSize(16, 16));
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tree);

    const CBoardTestTree &tree = m_test->Tree();
    for (int n = 0; n < tree.Count(); ++n) {
        const CBoardTestTree::Node &node = tree.At(n);
        QTreeWidgetItem *item = node.parent < 0 ? new QTreeWidgetItem(m_tree) : new QTreeWidgetItem(m_items[node.parent]);
        item->setText(0, node.name);
        item->setIcon(0, StateImage(node.state));
        m_items.append(item);
    }
    m_items[CBoardTestTree::Root]->setExpanded(true);

    connect(m_test, &CBoardTestSequence::NodeChanged, this, &CInteractiveTest::OnNodeChanged);
    connect(m_test, &CBoardTestSequence::PromptChanged, this, &CInteractiveTest::OnPromptChanged);
    connect(m_window, &CBoardTestPrompt::Cancelled, m_test, &CBoardTestSequence::CancelPrompt);
    connect(m_test, &CBoardTestSequence::ProgrammingWanted, this,
            [this] { emit CommandRequested(CommandId::Programming); });
    connect(m_test, &CBoardTestSequence::AnotherBoardWanted, this,
            [this] { emit CommandRequested(CommandId::RestartBoardTest); });
    connect(m_test, &CBoardTestSequence::QuitWanted, this, &CInteractiveTest::EndProgram);
}

CInteractiveTest::~CInteractiveTest() = default;

void CInteractiveTest::SetPrompt(IUserPrompt *prompt)
{
    m_prompt = prompt ? prompt : m_ownPrompt.get();
    m_test->SetPrompt(m_prompt);
}

void CInteractiveTest::OnInitialUpdate()
{
    m_download = std::make_unique<CEngineDownload>(Document(), m_prompt);
    m_test->SetDownload(m_download.get());
    m_test->Start();
}

QSize CInteractiveTest::FormSize() const
{
    return {340, 560};
}

void CInteractiveTest::OnNodeChanged(int node)
{
    QTreeWidgetItem *item = m_items.value(node);
    if (!item)
        return;
    const int state = m_test->Tree().At(node).state;
    item->setIcon(0, StateImage(state));
    // Running: selected and open; passed: closed; failed: left open so
    // that the failed items show.
    if (state == CBoardTestTree::Running) {
        item->setExpanded(true);
        m_tree->setCurrentItem(item);
        m_tree->scrollToItem(item);
    } else if (state == CBoardTestTree::Passed && node != CBoardTestTree::Root) {
        item->setExpanded(false);
    } else if (state == CBoardTestTree::Failed) {
        item->setExpanded(true);
    }
}

void CInteractiveTest::OnPromptChanged()
{
    if (!m_test->PromptVisible()) {
        m_window->hide();
        return;
    }
    m_window->SetPrompt(m_test->PromptTitle(), m_test->PromptText());
    if (!m_window->isVisible()) {
        m_window->adjustSize();
        m_window->show();
    }
}

void CInteractiveTest::EndProgram()
{
    // The main window's close saves the window list and layout as any exit does.
    QWidget *top = window();
    if (top && top != this)
        top->close();
}
