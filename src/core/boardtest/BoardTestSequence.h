// The board test as a state machine: the groups and items run in order,
// driven by the document's replies and the operator's answers.
#pragma once

#include "BoardTestLimits.h"
#include "BoardTestMeasurement.h"
#include "BoardTestTree.h"
#include "platform/UserPrompt.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class CBoardTestAnalogGroup;
class CBoardTestDigitalGroup;
class CBoardTestFlashGroup;
class CBoardTestMemoryGroups;
class CInstrumentDoc;
class IBoardTestDownload;
struct CReplyNotice;

/*
 * One step at a time waits for one thing: a reply (an awaiter that takes the
 * update it is for), the operator closing the prompt window, or an answer to
 * a question. Questions and messages are asked from the event loop, never
 * inside the document's reply handling, and every continuation carries the
 * token of the item it belongs to, so that an item ended by "Cancel" or by a
 * lost link never hears a late reply meant for it.
 */
class CBoardTestSequence : public QObject
{
    Q_OBJECT
public:
    static constexpr int ClosingStep = CBoardTestTree::GroupCount; // group 6
    static constexpr quint32 FlashBlockWords = 64;
    static constexpr quint32 TestCodeSector = 0x8000;

    CBoardTestSequence(CInstrumentDoc &doc, IUserPrompt *prompt, QObject *parent = nullptr);
    ~CBoardTestSequence() override;

    // Where questions and messages go; none answers No and tells nobody.
    void SetPrompt(IUserPrompt *prompt) { m_prompt = prompt; }
    // The limits file; the program's folder's "PCBTest.ini" unless set.
    void SetLimitsFile(const QString &path);
    const CBoardTestLimits &Limits() const { return m_limits; }
    // Downloads of the flash group; without one the operator is asked to run
    // the programming view.
    void SetDownload(IBoardTestDownload *download) { m_download = download; }
    // How long a flash step waits for the instrument before it has timed out.
    void SetReplyTimeout(int ms) { m_replyTimeoutMs = ms; }
    // Pause between readings while a prompt waits for the board to change.
    void SetReadInterval(int ms) { m_readIntervalMs = ms; }
    // Starts at a later group (the ones before stay not run): for a rerun of
    // one part of the test.
    void Start(int firstGroup = CBoardTestTree::Power);

    const CBoardTestTree &Tree() const { return m_tree; }
    int CurrentGroup() const { return m_group; }
    // The leaf that runs, or -1.
    int CurrentLeaf() const { return m_leaf; }
    bool IsRunning() const { return m_running; }

    // The prompt window.
    bool PromptVisible() const { return m_promptVisible; }
    QString PromptTitle() const { return m_promptTitle; }
    QString PromptText() const { return m_promptText; }
    // The window's "Cancel": closes it; the step that waits on it ends.
    void CancelPrompt();

    // The flash test pattern word of a word address.
    static quint16 FlashPattern(quint32 word);
    // Where a firmware file named in the preferences is looked for: as given
    // when absolute, else beside the program, else in the working folder.
    static QString FindFile(const QString &name);

signals:
    void NodeChanged(int node);
    void PromptChanged();
    void GroupStarted(int group);
    // Opens the programming view (the flash test code goes through it).
    void ProgrammingWanted();
    // The closing question's answers.
    void AnotherBoardWanted();
    void QuitWanted();
    void Finished();

private:
    // The groups run their items through the helpers below.
    friend class CBoardTestMemoryGroups;
    friend class CBoardTestFlashGroup;
    friend class CBoardTestDigitalGroup;
    friend class CBoardTestAnalogGroup;

    using Awaiter = std::function<bool(int code, const CReplyNotice &notice)>;

    void OnUpdate(int code, const CReplyNotice &notice);
    void OnWatchdog();

    // Run control.
    void StartGroup(int group);
    void NextLeaf();
    void StartLeaf(int position);
    void EndLeaf(bool passed, const QString &message = {});
    void EndGroup();
    // The waiting step gives up: a lost link, a time-out, "Cancel".
    void GiveUp(const QString &message);
    void SetNode(int node, CBoardTestTree::State state);

    // Helpers: each continuation runs only while its item still runs.
    void Await(Awaiter awaiter);
    void Later(std::function<void()> step, int ms = 0);
    void Tell(const QString &text, IUserPrompt::Icon icon, std::function<void()> then);
    void Ask(const QString &caption, const QString &text, std::function<void(bool)> then);
    void ShowPrompt(const QString &title, const QString &text);
    void SetPromptText(const QString &text);
    void HidePrompt();
    void ArmWatchdog(const QString &timeoutMessage);
    void DisarmWatchdog();
    void ReadRamThen(int address, int count, std::function<void()> then);
    void WriteRamThen(int address, quint8 value, std::function<void()> then);
    quint8 RamByte(int address) const;

    // The groups run by the sequence itself.
    void StartPower();
    void StartClosing();

    QString Caption() const;
    QString LimitText(const char *format, const QString &key) const;

    CInstrumentDoc &m_doc;
    IUserPrompt *m_prompt;
    IBoardTestDownload *m_download = nullptr;
    CBoardTestTree m_tree;
    CBoardTestLimits m_limits;
    bool m_limitsSet = false;

    bool m_running = false;
    int m_group = -1;
    int m_position = -1; // leaf position in the group
    int m_leaf = -1;
    quint64 m_token = 0;
    Awaiter m_await;
    std::function<void()> m_onCancel;
    QString m_failMessage; // shown when the link is lost during the item
    bool m_downloading = false;

    bool m_promptVisible = false;
    QString m_promptTitle;
    QString m_promptText;
    int m_powerStage = 0;

    QTimer m_watchdog;
    QString m_timeoutMessage;
    int m_replyTimeoutMs = 10000;
    int m_readIntervalMs = 100;

    std::unique_ptr<CBoardTestMemoryGroups> m_memory;
    std::unique_ptr<CBoardTestFlashGroup> m_flash;
    std::unique_ptr<CBoardTestDigitalGroup> m_digital;
    std::unique_ptr<CBoardTestAnalogGroup> m_analog;
};
