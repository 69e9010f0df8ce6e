// The board test's flash group.
#include "BoardTestFlashGroup.h"

#include "BoardTestDownload.h"
#include "BoardTestSequence.h"
#include "document/InstrumentDoc.h"
#include "platform/Preferences.h"

#include <QFileInfo>
#include <memory>

namespace {
constexpr quint32 FlashBlockWords = CBoardTestSequence::FlashBlockWords;
constexpr quint32 TestCodeSector = CBoardTestSequence::TestCodeSector;

// The word address where the flash pattern test starts: the sectors above
// the one that holds the flash test code.
constexpr quint32 PatternFirst = 0xA000;
constexpr quint32 PatternEnd = 0x28000;

enum FlashMode { Blank, Program, Verify };
} // namespace

CBoardTestFlashGroup::CBoardTestFlashGroup(CBoardTestSequence &sequence) : m_seq(sequence), m_doc(sequence.m_doc)
{
}

void CBoardTestFlashGroup::StartLeaf(int position)
{
    QList<int> patternSectors;
    for (int s = 0; s < CWordImage::SectorCount; ++s) {
        if (CWordImage::SectorBounds[size_t(s)] >= PatternFirst)
            patternSectors.append(s);
    }
    m_seq.m_failMessage.clear();
    switch (position) {
    case 0:
        Download("FlashTestFile", "flashtst.hex");
        break;
    case 1:
    case 5:
        Erase(patternSectors, 0);
        break;
    case 2:
    case 6:
        Blocks(PatternFirst, PatternEnd, Blank, PatternFirst);
        break;
    case 3:
        Blocks(PatternFirst, PatternEnd, Program, PatternFirst);
        break;
    case 4:
        Blocks(PatternFirst, PatternEnd, Verify, PatternFirst);
        break;
    case 7:
        Erase({0}, 0);
        break;
    case 8:
        Blocks(TestCodeSector, PatternFirst, Blank, TestCodeSector);
        break;
    case 9:
        Download("BoardTestFile", "mustprog.hex");
        break;
    default:
        m_seq.EndLeaf(false);
        break;
    }
}

void CBoardTestFlashGroup::Download(const char *key, const char *defaultName)
{
    const QString name = CPreferences::GetString(QStringLiteral("Programming"), QString::fromLatin1(key),
                                                 QString::fromLatin1(defaultName));
    const QString path = CBoardTestSequence::FindFile(name);
    emit m_seq.ProgrammingWanted();
    m_seq.ShowPrompt(QStringLiteral("Flash Test"), m_seq.m_tree.At(m_seq.m_leaf).name);
    if (path.isEmpty() || !m_seq.m_download) {
        // The operator runs the programming view; its end of programming
        // ends the item. The view's own last requests are queued in answer
        // to the same news, so the next item starts only after them.
        const QString shown = QFileInfo(name.isEmpty() ? QString::fromLatin1(defaultName) : name).fileName();
        m_seq.SetPromptText(QString::asprintf("Please browse for %s and then click Program", shown.toLocal8Bit().constData()));
        m_seq.Await([this](int code, const CReplyNotice &n) {
            if (code == UpdateCode::EndProgramming && n.status == -1) {
                m_seq.m_await = nullptr;
                m_seq.Later([this] { m_seq.EndLeaf(true); });
            } else if (code == UpdateCode::LogData && n.status < 0 && !m_seq.m_watchdog.isActive()) {
                m_seq.ArmWatchdog(QStringLiteral("Flash Download Timed Out"));
            }
            return true;
        });
        return;
    }
    const quint64 token = m_seq.m_token;
    m_seq.m_downloading = true;
    m_seq.m_download->finished = [this, token](IBoardTestDownload::Result result) {
        if (token != m_seq.m_token)
            return;
        m_seq.m_downloading = false;
        m_seq.DisarmWatchdog();
        m_seq.Later([this, result] {
            if (result == IBoardTestDownload::Result::Done)
                m_seq.EndLeaf(true);
            else if (result == IBoardTestDownload::Result::Failed)
                m_seq.EndLeaf(false, QStringLiteral("Flash Programming Failed"));
            else
                m_seq.EndLeaf(false);
        });
    };
    m_seq.m_onCancel = [this] {
        if (m_seq.m_download)
            m_seq.m_download->Cancel();
        m_seq.m_downloading = false;
        m_seq.EndLeaf(false);
    };
    m_seq.ArmWatchdog(QStringLiteral("Flash Download Timed Out"));
    QString error;
    if (!m_seq.m_download->Start(path, &error)) {
        m_seq.m_downloading = false;
        m_seq.DisarmWatchdog();
        m_seq.EndLeaf(false, error);
    }
}

void CBoardTestFlashGroup::Erase(const QList<int> &sectors, int index)
{
    if (index >= sectors.size()) {
        m_seq.EndLeaf(true);
        return;
    }
    const quint32 start = CWordImage::SectorBounds[size_t(sectors[index])];
    const quint32 end = CWordImage::SectorBounds[size_t(sectors[index]) + 1];
    const QString text = start == TestCodeSector ? QStringLiteral("Erasing 0x08000") : QString::asprintf("Erasing %05X", start);
    if (m_seq.m_promptVisible)
        m_seq.SetPromptText(text);
    else
        m_seq.ShowPrompt(QStringLiteral("Flash Test"), text);
    m_seq.ArmWatchdog(QStringLiteral("Flash Erase Timed Out"));
    // A refused erase gets no news of its own, so a read of the sector's
    // first block follows it: by the time that answers, the erase has been
    // acknowledged or refused, and the block shows whether it took.
    m_doc.EraseSector(start);
    m_doc.ReadWords(start, int(FlashBlockWords));
    auto acknowledged = std::make_shared<bool>(false);
    m_seq.Await([this, sectors, index, start, end, acknowledged](int code, const CReplyNotice &n) {
        if (code == UpdateCode::EraseSector && n.address >= start && n.address < end) {
            *acknowledged = true;
            return true;
        }
        if (code != UpdateCode::WordBlock || n.address != start)
            return false;
        m_seq.m_await = nullptr;
        bool blank = *acknowledged;
        for (quint32 w = start; blank && w < start + FlashBlockWords; ++w)
            blank = m_doc.Words().Word(w) == 0xFFFF;
        if (!blank)
            m_seq.EndLeaf(false, QStringLiteral("Flash Erase Failed"));
        else
            Erase(sectors, index + 1);
        return true;
    });
}

void CBoardTestFlashGroup::Blocks(quint32 from, quint32 to, int mode, quint32 word)
{
    if (word >= to) {
        m_seq.EndLeaf(true);
        return;
    }
    static const char *const Texts[] = {"Blank Checking %05X", "Programming %05X", "Verifying %05X"};
    static const char *const Failures[] = {"Flash Blank Check Failed", "Flash Programming Failed", "Flash Verify Failed"};
    static const char *const Timeouts[] = {"Flash Blank Check Timed Out", "Flash Programming Failed", "Flash Verify Failed"};
    const QString text = QString::asprintf(Texts[mode], word);
    if (m_seq.m_promptVisible)
        m_seq.SetPromptText(text);
    else
        m_seq.ShowPrompt(QStringLiteral("Flash Test"), text);
    if (!m_seq.m_watchdog.isActive())
        m_seq.ArmWatchdog(QString::fromLatin1(Timeouts[mode]));
    const QString failure = QString::fromLatin1(Failures[mode]);

    if (mode == Program) {
        QByteArray bytes;
        for (quint32 w = word; w < word + FlashBlockWords; ++w) {
            const quint16 v = CBoardTestSequence::FlashPattern(w);
            bytes.append(char(v & 0xFF));
            bytes.append(char(v >> 8));
        }
        m_doc.WriteWords(word, bytes);
        m_seq.Await([this, from, to, mode, word, failure](int code, const CReplyNotice &n) {
            if (code != UpdateCode::LogData || n.status >= 0)
                return false;
            m_seq.m_await = nullptr;
            if (n.status == -2)
                m_seq.EndLeaf(false, failure);
            else
                Blocks(from, to, mode, word + FlashBlockWords);
            return true;
        });
        return;
    }

    m_doc.ReadWords(word, int(FlashBlockWords));
    m_seq.Await([this, from, to, mode, word, failure](int code, const CReplyNotice &n) {
        if (code != UpdateCode::WordBlock || n.address != word)
            return false;
        m_seq.m_await = nullptr;
        bool good = n.count == int(2 * FlashBlockWords);
        for (quint32 w = word; good && w < word + FlashBlockWords; ++w)
            good = m_doc.Words().Word(w) == (mode == Blank ? 0xFFFF : CBoardTestSequence::FlashPattern(w));
        if (!good)
            m_seq.EndLeaf(false, failure);
        else
            Blocks(from, to, mode, word + FlashBlockWords);
        return true;
    });
}
