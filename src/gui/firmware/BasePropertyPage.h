// The base of the wizard's pages: entering in a direction, skipping itself,
// answering the sheet's queries and setting the Back and Next buttons.
#pragma once

#include <QWizardPage>

class CInstrumentDoc;
class CWizardSheet;
class QGroupBox;
class QLabel;

class CBasePropertyPage : public QWizardPage
{
    Q_OBJECT
public:
    explicit CBasePropertyPage(CWizardSheet *sheet);

    CWizardSheet *Sheet() const { return m_sheet; }
    CInstrumentDoc &Document() const;

    // Called each time the page becomes the current one.
    virtual void OnEnter(bool forward) = 0;
    // Choice number n: the page's answer (0 when it has none) and its text.
    virtual int Answer(int choice, QString *text) const
    {
        Q_UNUSED(choice);
        Q_UNUSED(text);
        return 0;
    }

    void Enter(bool forward);
    bool isComplete() const override { return m_nextEnabled; }
    // Whether the page let itself be skipped on its last entry.
    bool Skipped() const { return m_skipped; }

protected:
    // The Back and Next states of this page.
    void SetButtons(bool back, bool next);
    // A page that does not apply passes itself in the user's direction.
    void Skip(bool forward);
    // Asks the sheet.
    int Query(int choice, QString *text = nullptr) const;
    // A group box with one text line: the earlier choices at the top of a page.
    QGroupBox *ChoiceBox(const QString &title, QLabel **text);

private:
    CWizardSheet *m_sheet;
    bool m_nextEnabled = false;
    bool m_backEnabled = true;
    bool m_skipped = false;
};
