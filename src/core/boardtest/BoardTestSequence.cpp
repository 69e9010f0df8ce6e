// The board-test sequence.
#include "BoardTestSequence.h"

#include "BoardTestAnalogGroup.h"
#include "BoardTestDigitalGroup.h"
#include "BoardTestDownload.h"
#include "BoardTestFlashGroup.h"
#include "BoardTestMemoryGroups.h"
#include "BoardTestRequests.h"
#include "document/InstrumentDoc.h"
#include "platform/DataFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
using Tree = CBoardTestTree;

constexpr int SettlingTicks = 5; // 50 ms after a mux switch

const char *const GroupFailed[] = {nullptr, "RAM Failed", "TimeKeeper Failed", "Flash Failed", "Digital I/O Failed",
                                   "Analog I/O Failed"};
} // namespace

CBoardTestSequence::CBoardTestSequence(CInstrumentDoc &doc, IUserPrompt *prompt, QObject *parent)
    : QObject(parent), m_doc(doc), m_prompt(prompt), m_memory(std::make_unique<CBoardTestMemoryGroups>(*this)),
      m_flash(std::make_unique<CBoardTestFlashGroup>(*this)), m_digital(std::make_unique<CBoardTestDigitalGroup>(*this)),
      m_analog(std::make_unique<CBoardTestAnalogGroup>(*this))
{
    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, &CBoardTestSequence::OnWatchdog);
    connect(&m_doc, &CInstrumentDoc::Updated, this, &CBoardTestSequence::OnUpdate);
}

CBoardTestSequence::~CBoardTestSequence() = default;

void CBoardTestSequence::SetLimitsFile(const QString &path)
{
    m_limits.Load(path);
    m_limitsSet = true;
}

QString CBoardTestSequence::Caption() const
{
    return QStringLiteral("Interactive Test");
}

QString CBoardTestSequence::LimitText(const char *format, const QString &key) const
{
    const BoardTestLimit limit = m_limits.Lookup(key);
    return QString::asprintf(format, limit.minimum, limit.maximum);
}

quint16 CBoardTestSequence::FlashPattern(quint32 word)
{
    // The word's own address with its bank folded in, so that a sector that
    // answers for another (a stuck address line) reads back wrong.
    return quint16((word & 0xFFFF) ^ ((word >> 16) * 0x1111u) ^ 0x5AA5u);
}

QString CBoardTestSequence::FindFile(const QString &name)
{
    if (name.isEmpty())
        return {};
    const QFileInfo given(name);
    if (given.isAbsolute())
        return given.isFile() ? name : QString();
    QStringList folders = CDataFiles::Folders();
    folders.append(QDir::currentPath());
    for (const QString &folder : folders) {
        const QString path = QDir(folder).filePath(name);
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

// ---------------------------------------------------------------------------
// Run control

void CBoardTestSequence::Start(int firstGroup)
{
    if (!m_limitsSet)
        m_limits.Load(CBoardTestLimits::DefaultPath());
    ++m_token;
    m_await = nullptr;
    m_onCancel = nullptr;
    DisarmWatchdog();
    HidePrompt();
    m_tree.Reset();
    for (int n = 0; n < m_tree.Count(); ++n)
        emit NodeChanged(n);
    m_running = true;
    SetNode(Tree::Root, Tree::Running);
    StartGroup(qBound(0, firstGroup, int(ClosingStep)));
}

void CBoardTestSequence::SetNode(int node, CBoardTestTree::State state)
{
    m_tree.SetState(node, state);
    emit NodeChanged(node);
}

void CBoardTestSequence::StartGroup(int group)
{
    m_group = group;
    m_position = -1;
    m_leaf = -1;
    emit GroupStarted(group);
    if (group == ClosingStep) {
        StartClosing();
        return;
    }
    SetNode(m_tree.GroupNode(group), Tree::Running);
    if (group == Tree::Power) {
        StartPower();
        return;
    }
    if (group == Tree::Digital) {
        // From here on the program drives the ports the firmware would.
        QByteArray mode(2, '\0');
        mode[0] = 1;
        mode[1] = char(SettlingTicks);
        m_doc.SendBoardTest(BoardTestRequest::TestMode, mode);
    }
    NextLeaf();
}

void CBoardTestSequence::NextLeaf()
{
    ++m_position;
    const QList<int> &leaves = m_tree.Leaves(m_group);
    if (m_position >= leaves.size()) {
        m_leaf = -1;
        EndGroup();
        return;
    }
    m_leaf = leaves[m_position];
    ++m_token;
    const int item = m_tree.ItemOf(m_leaf);
    if (item != m_leaf && m_tree.At(item).children.first() == m_leaf)
        SetNode(item, Tree::Running);
    SetNode(m_leaf, Tree::Running);
    StartLeaf(m_position);
}

void CBoardTestSequence::StartLeaf(int position)
{
    switch (m_group) {
    case Tree::Ram:
        m_memory->StartRam(position);
        break;
    case Tree::TimeKeeper:
        m_memory->StartTimeKeeper(position);
        break;
    case Tree::Flash:
        m_flash->StartLeaf(position);
        break;
    case Tree::Digital:
        m_digital->StartLeaf(position);
        break;
    case Tree::Analog:
        m_analog->StartLeaf(position);
        break;
    default:
        break;
    }
}

void CBoardTestSequence::EndLeaf(bool passed, const QString &message)
{
    if (m_leaf < 0)
        return;
    m_await = nullptr;
    m_onCancel = nullptr;
    m_downloading = false;
    DisarmWatchdog();
    HidePrompt();
    ++m_token;
    SetNode(m_leaf, passed ? Tree::Passed : Tree::Failed);
    const int item = m_tree.ItemOf(m_leaf);
    if (item != m_leaf && m_tree.At(item).children.last() == m_leaf)
        SetNode(item, m_tree.Summary(item));
    if (message.isEmpty())
        Later([this] { NextLeaf(); });
    else
        Tell(message, IUserPrompt::Icon::Stop, [this] { NextLeaf(); });
}

void CBoardTestSequence::EndGroup()
{
    const int node = m_tree.GroupNode(m_group);
    const Tree::State state = m_group == Tree::Power
        ? (m_tree.At(node).state == Tree::Failed ? Tree::Failed : Tree::Passed)
        : m_tree.Summary(node);
    SetNode(node, state);
    if (m_group == Tree::TimeKeeper)
        m_memory->FinishTimeKeeper();
    ++m_token;
    const int next = m_group + 1;
    auto go = [this, next] { StartGroup(next); };
    if (state == Tree::Failed && m_group > Tree::Power)
        Tell(QString::fromLatin1(GroupFailed[m_group]), IUserPrompt::Icon::Stop, go);
    else
        Later(go);
}

void CBoardTestSequence::GiveUp(const QString &message)
{
    m_await = nullptr;
    DisarmWatchdog();
    HidePrompt();
    if (m_downloading && m_download)
        m_download->Cancel();
    m_downloading = false;
    EndLeaf(false, message);
}

void CBoardTestSequence::CancelPrompt()
{
    if (!m_promptVisible)
        return;
    HidePrompt();
    if (m_group == Tree::Power) {
        // Closing the window is how the operator says a check is done; the
        // poll tick takes it from there. Before the board answered, it gives
        // up on the board.
        if (m_powerStage == 1) {
            m_await = nullptr;
            m_powerStage = 0;
            m_doc.ClearQueues();
            SetNode(m_tree.GroupNode(Tree::Power), Tree::Failed);
            Tell(QStringLiteral("Recovery Failed"), IUserPrompt::Icon::Stop, [this] { EndGroup(); });
        }
        return;
    }
    if (m_leaf < 0)
        return;
    if (m_onCancel) {
        auto cancel = std::move(m_onCancel);
        m_onCancel = nullptr;
        m_await = nullptr;
        DisarmWatchdog();
        cancel();
        return;
    }
    GiveUp({});
}

void CBoardTestSequence::OnUpdate(int code, const CReplyNotice &notice)
{
    if (!m_running)
        return;
    if (code == UpdateCode::Poll && m_group == Tree::Power) {
        if (m_powerStage == 2 && !m_promptVisible) {
            m_powerStage = 3;
            ShowPrompt(QStringLiteral("Power On Setup"), QStringLiteral("Reset the test box switches to their default positions"));
        } else if (m_powerStage == 3 && !m_promptVisible) {
            m_powerStage = 0;
            EndGroup();
        }
        return;
    }
    if (code == UpdateCode::CommunicationsLost && m_await && m_leaf >= 0) {
        // The document has dropped every request: nothing will answer.
        GiveUp(m_watchdog.isActive() ? m_timeoutMessage : m_failMessage);
        return;
    }
    if (m_watchdog.isActive() && code >= 0 && code < UpdateCode::Clock)
        m_watchdog.start();
    if (m_await) {
        const Awaiter await = m_await;
        await(code, notice);
    }
}

void CBoardTestSequence::OnWatchdog()
{
    if (m_leaf >= 0)
        GiveUp(m_timeoutMessage);
}

// ---------------------------------------------------------------------------
// Helpers

void CBoardTestSequence::Await(Awaiter awaiter)
{
    m_await = std::move(awaiter);
}

void CBoardTestSequence::Later(std::function<void()> step, int ms)
{
    const quint64 token = m_token;
    QTimer::singleShot(ms, this, [this, token, step = std::move(step)] {
        if (m_running && token == m_token)
            step();
    });
}

void CBoardTestSequence::Tell(const QString &text, IUserPrompt::Icon icon, std::function<void()> then)
{
    Later([this, text, icon, then = std::move(then)] {
        if (m_prompt)
            m_prompt->Message(Caption(), text, icon);
        then();
    });
}

void CBoardTestSequence::Ask(const QString &caption, const QString &text, std::function<void(bool)> then)
{
    Later([this, caption, text, then = std::move(then)] {
        const bool yes = m_prompt && m_prompt->AskYesNo(caption, text);
        then(yes);
    });
}

void CBoardTestSequence::ShowPrompt(const QString &title, const QString &text)
{
    m_promptVisible = true;
    m_promptTitle = title;
    m_promptText = text;
    emit PromptChanged();
}

void CBoardTestSequence::SetPromptText(const QString &text)
{
    if (m_promptText == text)
        return;
    m_promptText = text;
    emit PromptChanged();
}

void CBoardTestSequence::HidePrompt()
{
    if (!m_promptVisible)
        return;
    m_promptVisible = false;
    emit PromptChanged();
}

void CBoardTestSequence::ArmWatchdog(const QString &timeoutMessage)
{
    m_timeoutMessage = timeoutMessage;
    m_watchdog.start(m_replyTimeoutMs);
}

void CBoardTestSequence::DisarmWatchdog()
{
    m_watchdog.stop();
}

void CBoardTestSequence::ReadRamThen(int address, int count, std::function<void()> then)
{
    m_doc.ReadRam(address, count);
    Await([this, address, count, then = std::move(then)](int code, const CReplyNotice &n) {
        if (code != UpdateCode::RamBlock || n.address != address || n.count != count)
            return false;
        m_await = nullptr;
        then();
        return true;
    });
}

void CBoardTestSequence::WriteRamThen(int address, quint8 value, std::function<void()> then)
{
    m_doc.WriteRam(address, QByteArray(1, char(value)));
    Await([this, address, then = std::move(then)](int code, const CReplyNotice &n) {
        if (code != UpdateCode::RamWritten || n.address != address)
            return false;
        m_await = nullptr;
        then();
        return true;
    });
}

quint8 CBoardTestSequence::RamByte(int address) const
{
    const QByteArray &ram = m_doc.Ram();
    return address >= 0 && address < ram.size() ? quint8(ram[address]) : 0;
}

// ---------------------------------------------------------------------------
// Power

void CBoardTestSequence::StartPower()
{
    m_powerStage = 1;
    ShowPrompt(QStringLiteral("Power On Test"), QStringLiteral("Connect the board and apply power"));
    Await([this](int code, const CReplyNotice &notice) {
        if (code != UpdateCode::SetProgramMode)
            return false;
        m_await = nullptr;
        // A board that refuses program mode has failed its recovery as surely
        // as one that acknowledges without entering it.
        if (notice.status != 0 || !m_doc.ProgramMode()) {
            m_powerStage = 0;
            HidePrompt();
            SetNode(m_tree.GroupNode(Tree::Power), Tree::Failed);
            Tell(QStringLiteral("Recovery Failed"), IUserPrompt::Icon::Stop, [this] { EndGroup(); });
            return true;
        }
        m_powerStage = 2;
        ShowPrompt(QStringLiteral("Power On Current"),
                   LimitText("Check that the board current is between %.1lfmA and %.1lfmA", QStringLiteral("Power On Current")));
        return true;
    });
    m_doc.StartRecovery();
}

// ---------------------------------------------------------------------------
// Closing

void CBoardTestSequence::StartClosing()
{
    SetNode(Tree::Root, m_tree.Summary(Tree::Root));
    m_doc.SendBoardTest(BoardTestRequest::TestMode, QByteArray(2, '\0'));
    ++m_token;
    Tell(LimitText("Power down, disconnect the serial port,\n and check that the off current is between %.1lfmA and %.1lfmA",
                   QStringLiteral("Power Down Current")),
         IUserPrompt::Icon::Information, [this] {
             Ask(Caption(), QStringLiteral("Would you like to test another board ?"), [this](bool another) {
                 m_running = false;
                 emit Finished();
                 if (another)
                     emit AnotherBoardWanted();
                 else
                     emit QuitWanted();
             });
         });
}
