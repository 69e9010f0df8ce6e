// "Interactive Test": the board test as a tree of groups and items with
// their state images, and the prompt window the operator works from.
#pragma once

#include "views/InstrumentView.h"

#include <QList>
#include <QPointer>
#include <memory>

class CBoardTestPrompt;
class CBoardTestSequence;
class CEngineDownload;
class CGuiPrompt;
class IUserPrompt;
class QTreeWidget;
class QTreeWidgetItem;

class CInteractiveTest : public CInstrumentView
{
    Q_OBJECT
public:
    static constexpr char Title[] = "Interactive Test";

    explicit CInteractiveTest(CInstrumentDoc &doc, QWidget *parent = nullptr);
    ~CInteractiveTest() override;

    // Questions and messages go here instead of message boxes; before the
    // first update.
    void SetPrompt(IUserPrompt *prompt);

    void OnInitialUpdate() override;
    QSize FormSize() const override;

    CBoardTestSequence &Sequence() { return *m_test; }
    QTreeWidget *Tree() const { return m_tree; }
    QTreeWidgetItem *Item(int node) const { return m_items.value(node); }
    CBoardTestPrompt *PromptWindow() const { return m_window; }

private:
    void OnNodeChanged(int node);
    void OnPromptChanged();
    void EndProgram();

    std::unique_ptr<CGuiPrompt> m_ownPrompt;
    IUserPrompt *m_prompt;
    std::unique_ptr<CEngineDownload> m_download;
    CBoardTestSequence *m_test;
    QTreeWidget *m_tree;
    QList<QTreeWidgetItem *> m_items; // by node of the sequence's tree
    CBoardTestPrompt *m_window;
};
