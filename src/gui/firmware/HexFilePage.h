// Wizard page 4: the firmware file.
#pragma once

#include "BasePropertyPage.h"

class QLabel;
class QLineEdit;
class QPushButton;

class CHexFilePage : public CBasePropertyPage
{
    Q_OBJECT
public:
    explicit CHexFilePage(CWizardSheet *sheet);

    void OnEnter(bool forward) override;
    int Answer(int choice, QString *text) const override;
    // Next keeps the file for the next wizard.
    bool validatePage() override;

    QLineEdit *FileEdit() const { return m_file; }
    QPushButton *BrowseButton() const { return m_browse; }

private:
    void UpdateButtons();

    QLabel *m_model = nullptr;
    QLabel *m_units = nullptr;
    QLabel *m_gas = nullptr;
    QLineEdit *m_file = nullptr;
    QPushButton *m_browse = nullptr;
};
