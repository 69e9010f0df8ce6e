// The configuration wizard's sheet: six pages in wizard mode, the direction
// the user is going, and the page queries.
#pragma once

#include <QString>
#include <QWizard>

class CBasePropertyPage;
class CInstrumentDoc;

class CWizardSheet : public QWizard
{
    Q_OBJECT
public:
    enum PageId { ModelPageId, UnitsPageId, SpecialGasPageId, HexFilePageId, ProgramPageId, DonePageId, PageCount };
    // Choice numbers of the page queries.
    enum Choice { ModelChoice = 1, UnitsChoice = 2, SpecialGasChoice = 3, HexFileChoice = 4 };
    static constexpr int MaxAnswerLength = 256;

    explicit CWizardSheet(CInstrumentDoc &doc, QWidget *parent = nullptr);

    CInstrumentDoc &Document() const { return m_doc; }
    CBasePropertyPage *Page(int id) const;

    // Asks the pages in order until one answers non-zero: its number, with its text.
    int Query(int choice, QString *text = nullptr) const;

    // The direction of the last move: Next and Start Over go forward, Back backward.
    bool Forward() const { return m_forward; }
    // What the buttons do, for pages that press them themselves.
    void GoNext();
    void GoBack();
    void StartOver();

    // The page's Next and Back states (Next is the page's completeness).
    void SetBackEnabled(bool enabled);

signals:
    // Cancel: the wizard's window closes.
    void CancelRequested();

public slots:
    void accept() override; // "&Start Over" on the done page
    void reject() override;

private:
    void OnPageChanged(int id);

    CInstrumentDoc &m_doc;
    bool m_forward = true;
    int m_explicit = 0; // +1 / -1 while a move the sheet made itself is under way
    int m_lastId = -1;
    bool m_backEnabled = true;
};
