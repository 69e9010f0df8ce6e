// The "Programming" form: programs the flash from an Intel HEX file, switches
// the instrument's program mode, and starts a recovery.
#pragma once

#include "views/InstrumentView.h"

#include <memory>

class CProgrammingEngine;
class IUserPrompt;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

class CProgramming : public CInstrumentView
{
    Q_OBJECT
public:
    explicit CProgramming(CInstrumentDoc &doc, QWidget *parent = nullptr);
    ~CProgramming() override;

    void OnInitialUpdate() override;
    void OnUpdate(int code, const CReplyNotice &notice) override;

    // Messages and the mismatch question; message boxes unless replaced.
    void SetPrompt(IUserPrompt *prompt);

    CProgrammingEngine &Engine() const { return *m_engine; }
    QLineEdit *FileEdit() const { return m_file; }
    QPushButton *BrowseButton() const { return m_browse; }
    QCheckBox *DisableBox() const { return m_disable; }
    QPushButton *ProgramButton() const { return m_program; }
    QPushButton *RecoverButton() const { return m_recover; }
    QProgressBar *Progress() const { return m_progress; }
    QLabel *StatusText() const { return m_status; }

    // The "Program" button: a run on the edit's file.
    void Program();

private:
    void BuildForm();
    void Browse();
    void StoreFileName();
    void ShowProgramMode();

    std::unique_ptr<IUserPrompt> m_ownPrompt;
    IUserPrompt *m_prompt = nullptr;
    std::unique_ptr<CProgrammingEngine> m_engine;
    QLineEdit *m_file = nullptr;
    QPushButton *m_browse = nullptr;
    QCheckBox *m_disable = nullptr;
    QPushButton *m_program = nullptr;
    QPushButton *m_recover = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_status = nullptr;
};
