// The board-test sequence.
#include "BoardTestSequence.h"

#include "BoardTestDownload.h"
#include "BoardTestPatterns.h"
#include "BoardTestRequests.h"
#include "document/InstrumentDoc.h"
#include "platform/Preferences.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <memory>

namespace {
using Tree = CBoardTestTree;

// RAM addresses of the port images the firmware keeps.
constexpr int PortsAB = 16;     // A data, B direction, B data
constexpr int PortAData = 16;
constexpr int PortBData = 18;
constexpr int PortsE = 276;     // E direction, E data
constexpr int PortEData = 277;
constexpr int PortsFG = 1296;   // F direction, F data, G direction, G data
constexpr int PortFData = 1297;
constexpr int PortGData = 1299;
constexpr quint8 LelSupplyBits = 0x0C; // port F bits 2 and 3

// The word address where the flash pattern test starts: the sectors above
// the one that holds the flash test code.
constexpr quint32 PatternFirst = 0xA000;
constexpr quint32 PatternEnd = 0x28000;
constexpr int SettlingTicks = 5; // 50 ms after a mux switch

enum FlashMode { Blank, Program, Verify };

const char *const GroupFailed[] = {nullptr, "RAM Failed", "TimeKeeper Failed", "Flash Failed", "Digital I/O Failed",
                                   "Analog I/O Failed"};
} // namespace

CBoardTestSequence::CBoardTestSequence(CInstrumentDoc &doc, IUserPrompt *prompt, QObject *parent)
    : QObject(parent), m_doc(doc), m_prompt(prompt)
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
    for (const QDir &dir : {QDir(QCoreApplication::applicationDirPath()), QDir::current()}) {
        const QString path = dir.filePath(name);
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
        m_ramPattern = CBoardTestPatterns::Ram(CBoardTestPatterns::Kind(position));
        m_ramAddress = CBoardTestPatterns::RamFirst;
        RamBlock();
        break;
    case Tree::TimeKeeper:
        m_tkPattern = CBoardTestPatterns::TimeKeeper(CBoardTestPatterns::Kind(position));
        TimeKeeperPass();
        break;
    case Tree::Flash:
        FlashLeaf(position);
        break;
    case Tree::Digital:
        DigitalLeaf(position);
        break;
    case Tree::Analog:
        AnalogLeaf(position);
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
        FinishTimeKeeper();
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
    Await([this](int code, const CReplyNotice &) {
        if (code != UpdateCode::SetProgramMode)
            return false;
        m_await = nullptr;
        if (!m_doc.ProgramMode()) {
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
// RAM and TimeKeeper

void CBoardTestSequence::RamBlock()
{
    m_failMessage = QStringLiteral("RAM Failed");
    const int address = m_ramAddress;
    m_doc.WriteRam(address, m_ramPattern.mid(address, CBoardTestPatterns::RamBlock));
    Await([this, address](int code, const CReplyNotice &n) {
        if (code != UpdateCode::RamWritten || n.address != address)
            return false;
        ReadRamThen(address, CBoardTestPatterns::RamBlock, [this, address] {
            const QByteArray expected = m_ramPattern.mid(address, CBoardTestPatterns::RamBlock);
            if (m_doc.Ram().mid(address, CBoardTestPatterns::RamBlock) != expected) {
                EndLeaf(false, QStringLiteral("RAM Failed"));
                return;
            }
            m_ramAddress = CBoardTestPatterns::NextRamAddress(address);
            if (m_ramAddress > CBoardTestPatterns::RamLast)
                EndLeaf(true);
            else
                RamBlock();
        });
        return true;
    });
}

void CBoardTestSequence::TimeKeeperPass()
{
    m_failMessage = QStringLiteral("TimeKeeper Data Failed");
    constexpr int first = CBoardTestPatterns::TimeKeeperFirst;
    auto &block = m_doc.Settings().TimeKeeperBytes();
    for (int i = 0; i < CBoardTestPatterns::TimeKeeperBytes; ++i)
        block[size_t(first + i)] = quint8(m_tkPattern[i]);
    m_doc.WriteTimeKeeperSettings();
    Await([this](int code, const CReplyNotice &n) {
        // The last of the four pieces is the one at byte 56.
        if (code != UpdateCode::TimeKeeperWritten || n.address != 56)
            return false;
        // The image is spoiled before the read so that a piece that never
        // comes back cannot pass for the pattern. The range bits of byte 22
        // keep the pattern's value: the one-second poll compares them and
        // would take a difference for a range change and upload everything.
        auto &image = m_doc.Settings().TimeKeeperBytes();
        for (int i = 0; i < CBoardTestPatterns::TimeKeeperBytes; ++i)
            image[size_t(first + i)] = quint8(~quint8(m_tkPattern[i]));
        image[22] = quint8((image[22] & ~0x30) | (quint8(m_tkPattern[22 - first]) & 0x30));
        m_doc.ReadTimeKeeperSettings();
        Await([this](int code, const CReplyNotice &) {
            if (code != UpdateCode::Settings)
                return false;
            m_await = nullptr;
            const auto &read = m_doc.Settings().TimeKeeperBytes();
            bool same = true;
            for (int i = 0; i < CBoardTestPatterns::TimeKeeperBytes; ++i)
                same = same && read[size_t(first + i)] == quint8(m_tkPattern[i]);
            if (same)
                EndLeaf(true);
            else
                EndLeaf(false, QStringLiteral("TimeKeeper Data Failed"));
            return true;
        });
        return true;
    });
}

void CBoardTestSequence::FinishTimeKeeper()
{
    // The board leaves with the right time and blank settings; the
    // configuration sets them later.
    m_doc.Settings().SetClockToNow();
    m_doc.WriteClock();
    auto &block = m_doc.Settings().TimeKeeperBytes();
    for (int i = 0; i < CBoardTestPatterns::TimeKeeperBytes; ++i)
        block[size_t(CBoardTestPatterns::TimeKeeperFirst + i)] = 0;
    m_doc.WriteTimeKeeperSettings();
}

// ---------------------------------------------------------------------------
// Flash

void CBoardTestSequence::FlashLeaf(int position)
{
    QList<int> patternSectors;
    for (int s = 0; s < CWordImage::SectorCount; ++s) {
        if (CWordImage::SectorBounds[size_t(s)] >= PatternFirst)
            patternSectors.append(s);
    }
    m_failMessage.clear();
    switch (position) {
    case 0:
        FlashDownload("FlashTestFile", "flashtst.hex");
        break;
    case 1:
    case 5:
        FlashErase(patternSectors, 0);
        break;
    case 2:
    case 6:
        FlashBlocks(PatternFirst, PatternEnd, Blank, PatternFirst);
        break;
    case 3:
        FlashBlocks(PatternFirst, PatternEnd, Program, PatternFirst);
        break;
    case 4:
        FlashBlocks(PatternFirst, PatternEnd, Verify, PatternFirst);
        break;
    case 7:
        FlashErase({0}, 0);
        break;
    case 8:
        FlashBlocks(TestCodeSector, PatternFirst, Blank, TestCodeSector);
        break;
    case 9:
        FlashDownload("BoardTestFile", "mustprog.hex");
        break;
    default:
        EndLeaf(false);
        break;
    }
}

void CBoardTestSequence::FlashDownload(const char *key, const char *defaultName)
{
    const QString name = CPreferences::GetString(QStringLiteral("Programming"), QString::fromLatin1(key),
                                                 QString::fromLatin1(defaultName));
    const QString path = FindFile(name);
    emit ProgrammingWanted();
    ShowPrompt(QStringLiteral("Flash Test"), m_tree.At(m_leaf).name);
    if (path.isEmpty() || !m_download) {
        // The operator runs the programming view; its end of programming
        // ends the item. The view's own last requests are queued in answer
        // to the same news, so the next item starts only after them.
        const QString shown = QFileInfo(name.isEmpty() ? QString::fromLatin1(defaultName) : name).fileName();
        SetPromptText(QString::asprintf("Please browse for %s and then click Program", shown.toLocal8Bit().constData()));
        Await([this](int code, const CReplyNotice &n) {
            if (code == UpdateCode::EndProgramming && n.status == -1) {
                m_await = nullptr;
                Later([this] { EndLeaf(true); });
            } else if (code == UpdateCode::LogData && n.status < 0 && !m_watchdog.isActive()) {
                ArmWatchdog(QStringLiteral("Flash Download Timed Out"));
            }
            return true;
        });
        return;
    }
    const quint64 token = m_token;
    m_downloading = true;
    m_download->finished = [this, token](IBoardTestDownload::Result result) {
        if (token != m_token)
            return;
        m_downloading = false;
        DisarmWatchdog();
        Later([this, result] {
            if (result == IBoardTestDownload::Result::Done)
                EndLeaf(true);
            else if (result == IBoardTestDownload::Result::Failed)
                EndLeaf(false, QStringLiteral("Flash Programming Failed"));
            else
                EndLeaf(false);
        });
    };
    m_onCancel = [this] {
        if (m_download)
            m_download->Cancel();
        m_downloading = false;
        EndLeaf(false);
    };
    ArmWatchdog(QStringLiteral("Flash Download Timed Out"));
    QString error;
    if (!m_download->Start(path, &error)) {
        m_downloading = false;
        DisarmWatchdog();
        EndLeaf(false, error);
    }
}

void CBoardTestSequence::FlashErase(const QList<int> &sectors, int index)
{
    if (index >= sectors.size()) {
        EndLeaf(true);
        return;
    }
    const quint32 start = CWordImage::SectorBounds[size_t(sectors[index])];
    const quint32 end = CWordImage::SectorBounds[size_t(sectors[index]) + 1];
    const QString text = start == TestCodeSector ? QStringLiteral("Erasing 0x08000") : QString::asprintf("Erasing %05X", start);
    if (m_promptVisible)
        SetPromptText(text);
    else
        ShowPrompt(QStringLiteral("Flash Test"), text);
    ArmWatchdog(QStringLiteral("Flash Erase Timed Out"));
    // A refused erase gets no news of its own, so a read of the sector's
    // first block follows it: by the time that answers, the erase has been
    // acknowledged or refused, and the block shows whether it took.
    m_doc.EraseSector(start);
    m_doc.ReadWords(start, int(FlashBlockWords));
    auto acknowledged = std::make_shared<bool>(false);
    Await([this, sectors, index, start, end, acknowledged](int code, const CReplyNotice &n) {
        if (code == UpdateCode::EraseSector && n.address >= start && n.address < end) {
            *acknowledged = true;
            return true;
        }
        if (code != UpdateCode::WordBlock || n.address != start)
            return false;
        m_await = nullptr;
        bool blank = *acknowledged;
        for (quint32 w = start; blank && w < start + FlashBlockWords; ++w)
            blank = m_doc.Words().Word(w) == 0xFFFF;
        if (!blank)
            EndLeaf(false, QStringLiteral("Flash Erase Failed"));
        else
            FlashErase(sectors, index + 1);
        return true;
    });
}

void CBoardTestSequence::FlashBlocks(quint32 from, quint32 to, int mode, quint32 word)
{
    if (word >= to) {
        EndLeaf(true);
        return;
    }
    static const char *const Texts[] = {"Blank Checking %05X", "Programming %05X", "Verifying %05X"};
    static const char *const Failures[] = {"Flash Blank Check Failed", "Flash Programming Failed", "Flash Verify Failed"};
    static const char *const Timeouts[] = {"Flash Blank Check Timed Out", "Flash Programming Failed", "Flash Verify Failed"};
    const QString text = QString::asprintf(Texts[mode], word);
    if (m_promptVisible)
        SetPromptText(text);
    else
        ShowPrompt(QStringLiteral("Flash Test"), text);
    if (!m_watchdog.isActive())
        ArmWatchdog(QString::fromLatin1(Timeouts[mode]));
    const QString failure = QString::fromLatin1(Failures[mode]);

    if (mode == Program) {
        QByteArray bytes;
        for (quint32 w = word; w < word + FlashBlockWords; ++w) {
            const quint16 v = FlashPattern(w);
            bytes.append(char(v & 0xFF));
            bytes.append(char(v >> 8));
        }
        m_doc.WriteWords(word, bytes);
        Await([this, from, to, mode, word, failure](int code, const CReplyNotice &n) {
            if (code != UpdateCode::LogData || n.status >= 0)
                return false;
            m_await = nullptr;
            if (n.status == -2)
                EndLeaf(false, failure);
            else
                FlashBlocks(from, to, mode, word + FlashBlockWords);
            return true;
        });
        return;
    }

    m_doc.ReadWords(word, int(FlashBlockWords));
    Await([this, from, to, mode, word, failure](int code, const CReplyNotice &n) {
        if (code != UpdateCode::WordBlock || n.address != word)
            return false;
        m_await = nullptr;
        bool good = n.count == int(2 * FlashBlockWords);
        for (quint32 w = word; good && w < word + FlashBlockWords; ++w)
            good = m_doc.Words().Word(w) == (mode == Blank ? 0xFFFF : FlashPattern(w));
        if (!good)
            EndLeaf(false, failure);
        else
            FlashBlocks(from, to, mode, word + FlashBlockWords);
        return true;
    });
}

// ---------------------------------------------------------------------------
// Digital I/O

void CBoardTestSequence::DigitalLeaf(int position)
{
    auto end = [this](bool passed) { EndLeaf(passed); };
    const QString button = QStringLiteral("Button Test");
    const QString battery = QStringLiteral("Battery Type Test");
    const QString pump = QStringLiteral("Pump Pressure Switch");
    switch (position) {
    case 0:
        ButtonReleased(QStringLiteral("On/Off"), PortAData, 0);
        break;
    case 1:
        WaitForBit(button, QStringLiteral("Push the On/Off button"), PortsAB, 3, PortAData, 0, false, end);
        break;
    case 2:
        ButtonReleased(QStringLiteral("UP"), PortBData, 6);
        break;
    case 3:
        WaitForBit(button, QStringLiteral("Push the UP button"), PortsAB, 3, PortBData, 6, false, end);
        break;
    case 4:
        ButtonReleased(QStringLiteral("DOWN"), PortBData, 7);
        break;
    case 5:
        WaitForBit(button, QStringLiteral("Push the DOWN button"), PortsAB, 3, PortBData, 7, false, end);
        break;
    case 6:
        WaitForBit(battery, QStringLiteral("Set the battery type to Alkaline"), PortsAB, 3, PortAData, 1, false, end);
        break;
    case 7:
        WaitForBit(battery, QStringLiteral("Set the battery type to Rechargeable"), PortsAB, 3, PortAData, 1, true, end);
        break;
    case 8:
        SwitchTest(PortsAB, 3, PortBData, 3, false, QStringLiteral("Speaker"), QStringLiteral("Is the speaker on ?"));
        break;
    case 9:
        SwitchTest(PortsAB, 3, PortBData, 0, false, QStringLiteral("Left Alarm LEDs"), QStringLiteral("Are the left alarm LEDs on ?"));
        break;
    case 10:
        SwitchTest(PortsFG, 4, PortGData, 5, false, QStringLiteral("Right Alarm LEDs"), QStringLiteral("Are the right alarm LEDs on ?"));
        break;
    case 11:
        SwitchTest(PortsAB, 3, PortBData, 2, true, QStringLiteral("Back Light"), QStringLiteral("Is the LCD back light on ?"));
        break;
    case 12:
        // The pump stays on for the two pressure checks that follow.
        ReadRamThen(PortsAB, 3, [this] {
            WriteRamThen(PortBData, quint8(RamByte(PortBData) & ~0x02), [this] {
                Ask(QStringLiteral("Pump Voltage"),
                    LimitText("Is the pump voltage between %.2lfV and %.2lfV ?", QStringLiteral("Pump Voltage")),
                    [this](bool yes) { EndLeaf(yes); });
            });
        });
        break;
    case 13:
        WaitForBit(pump, QStringLiteral("Checking with the pump on"), PortsE, 2, PortEData, 3, false, end);
        break;
    case 14:
        WaitForBit(pump, QStringLiteral("Clog the pump"), PortsE, 2, PortEData, 3, true, [this](bool passed) {
            ReadRamThen(PortsAB, 3, [this, passed] {
                WriteRamThen(PortBData, quint8(RamByte(PortBData) | 0x02), [this, passed] { EndLeaf(passed); });
            });
        });
        break;
    case 15:
        LelSupply(0x0C, QStringLiteral("2.2V LEL Voltage"), QStringLiteral("Is the LEL supply voltage between %.2lfV and %.2lfV ?"), false);
        break;
    case 16:
        LelSupply(0x08, QStringLiteral("1V LEL Voltage"), QStringLiteral("Is the LEL supply voltage between %.2lfV and %.2lfV ?"), false);
        break;
    case 17:
        LelSupply(0x04, QStringLiteral("2V TC Voltage"), QStringLiteral("Is the TC supply voltage between %.2lfV and %.2lfV ?"), true);
        break;
    default:
        EndLeaf(false);
        break;
    }
}

void CBoardTestSequence::ButtonReleased(const QString &name, int address, int bit)
{
    ReadRamThen(PortsAB, 3, [this, name, address, bit] {
        if (RamByte(address) & (1u << bit)) {
            EndLeaf(true);
            return;
        }
        Ask(QStringLiteral("Button Test"), QStringLiteral("Is the %1 button pushed ?").arg(name),
            [this, name, address, bit](bool yes) {
                if (yes)
                    ButtonReleased(name, address, bit);
                else
                    EndLeaf(false);
            });
    });
}

void CBoardTestSequence::WaitForBit(const QString &title, const QString &text, int base, int count, int address,
                                    int bit, bool set, std::function<void(bool)> then)
{
    ShowPrompt(title, text);
    m_onCancel = [then] { then(false); };
    m_repeat = [this, base, count, address, bit, set, then] {
        ReadRamThen(base, count, [this, address, bit, set, then] {
            const bool isSet = RamByte(address) & (1u << bit);
            if (isSet == set) {
                m_onCancel = nullptr;
                HidePrompt();
                then(true);
            } else {
                Later([this] { m_repeat(); }, m_readIntervalMs);
            }
        });
    };
    m_repeat();
}

void CBoardTestSequence::SwitchTest(int base, int count, int address, int bit, bool setIsOn, const QString &caption,
                                    const QString &question)
{
    const quint8 mask = quint8(1u << bit);
    ReadRamThen(base, count, [=, this] {
        const quint8 original = RamByte(address);
        const quint8 on = setIsOn ? quint8(original | mask) : quint8(original & ~mask);
        const quint8 off = setIsOn ? quint8(original & ~mask) : quint8(original | mask);
        WriteRamThen(address, on, [=, this] {
            Ask(caption, question, [=, this](bool yes) { WriteRamThen(address, off, [this, yes] { EndLeaf(yes); }); });
        });
    });
}

void CBoardTestSequence::LelSupply(quint8 bits, const QString &key, const QString &question, bool last)
{
    const bool first = bits == 0x0C;
    ReadRamThen(PortsFG, 4, [=, this] {
        const quint8 port = RamByte(PortFData);
        if (first)
            m_portF = port;
        WriteRamThen(PortFData, quint8((port & ~LelSupplyBits) | bits), [=, this] {
            const QByteArray format = question.toLatin1();
            Ask(key, LimitText(format.constData(), key), [=, this](bool yes) {
                if (!last) {
                    EndLeaf(yes);
                    return;
                }
                // The supply goes back to what the firmware had chosen.
                WriteRamThen(PortFData, quint8((port & ~LelSupplyBits) | (m_portF & LelSupplyBits)),
                             [this, yes] { EndLeaf(yes); });
            });
        });
    });
}

// ---------------------------------------------------------------------------
// Analog I/O

void CBoardTestSequence::AnalogLeaf(int position)
{
    m_measurements = CBoardTestMeasurement::ForLeaf(position);
    Measure(0);
}

void CBoardTestSequence::Measure(int index)
{
    m_measure = index;
    if (index >= m_measurements.size()) {
        EndLeaf(true);
        return;
    }
    const CBoardTestMeasurement &m = m_measurements[index];
    auto start = [this] {
        const CBoardTestMeasurement &m = m_measurements[m_measure];
        ShowPrompt(m.key, m.Text(m_limits.Lookup(m.key), 0.0));
        m_onCancel = [this] { EndLeaf(false); };
        ReadMeasurement();
    };
    switch (m.change) {
    case CBoardTestMeasurement::Switch::None:
        start();
        break;
    case CBoardTestMeasurement::Switch::HcPart: {
        const int part = m.hcPart;
        m_doc.SendBoardTest(BoardTestRequest::HcPart, QByteArray(1, char(part)));
        Await([this, part, start](int code, const CReplyNotice &n) {
            if (code != BoardTestRequest::HcPart)
                return false;
            m_await = nullptr;
            // A board that cannot switch to the part cannot pass it.
            if (n.status != part)
                EndLeaf(false);
            else
                start();
            return true;
        });
        break;
    }
    case CBoardTestMeasurement::Switch::ToxicMux:
        m_mux[m.toxic] = BoardTestRequest::MuxByte(m.gain, m.bias);
        m_doc.SendBoardTest(BoardTestRequest::ToxicMux, QByteArray() + char(m_mux[0]) + char(m_mux[1]));
        Await([this, start](int code, const CReplyNotice &) {
            if (code != BoardTestRequest::ToxicMux)
                return false;
            m_await = nullptr;
            start();
            return true;
        });
        break;
    }
}

void CBoardTestSequence::ReadMeasurement()
{
    const CBoardTestMeasurement &m = m_measurements[m_measure];
    m_doc.SendBoardTest(BoardTestRequest::ReadChannels, BoardTestRequest::ReadChannelData(m.channel, 8));
    Await([this](int code, const CReplyNotice &n) {
        if (code != BoardTestRequest::ReadChannels)
            return false;
        m_await = nullptr;
        const CBoardTestMeasurement &m = m_measurements[m_measure];
        const BoardTestLimit limit = m_limits.Lookup(m.key);
        const int raw = BoardTestRequest::Reading(n.data, 0);
        if (raw >= 0) {
            const double value = m.Value(raw);
            SetPromptText(m.Text(limit, value));
            if (limit.Within(value)) {
                m_onCancel = nullptr;
                Measure(m_measure + 1);
                return true;
            }
        }
        Later([this] { ReadMeasurement(); }, m_readIntervalMs);
        return true;
    });
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
