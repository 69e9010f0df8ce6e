// The board test's RAM and TimeKeeper groups.
#include "BoardTestMemoryGroups.h"

#include "BoardTestPatterns.h"
#include "BoardTestSequence.h"
#include "document/InstrumentDoc.h"

CBoardTestMemoryGroups::CBoardTestMemoryGroups(CBoardTestSequence &sequence) : m_seq(sequence), m_doc(sequence.m_doc)
{
}

void CBoardTestMemoryGroups::StartRam(int position)
{
    m_ramPattern = CBoardTestPatterns::Ram(CBoardTestPatterns::Kind(position));
    m_ramAddress = CBoardTestPatterns::RamFirst;
    RamBlock();
}

void CBoardTestMemoryGroups::StartTimeKeeper(int position)
{
    m_tkPattern = CBoardTestPatterns::TimeKeeper(CBoardTestPatterns::Kind(position));
    TimeKeeperPass();
}

void CBoardTestMemoryGroups::RamBlock()
{
    m_seq.m_failMessage = QStringLiteral("RAM Failed");
    const int address = m_ramAddress;
    m_doc.WriteRam(address, m_ramPattern.mid(address, CBoardTestPatterns::RamBlock));
    m_seq.Await([this, address](int code, const CReplyNotice &n) {
        if (code != UpdateCode::RamWritten || n.address != address)
            return false;
        m_seq.ReadRamThen(address, CBoardTestPatterns::RamBlock, [this, address] {
            const QByteArray expected = m_ramPattern.mid(address, CBoardTestPatterns::RamBlock);
            if (m_doc.Ram().mid(address, CBoardTestPatterns::RamBlock) != expected) {
                m_seq.EndLeaf(false, QStringLiteral("RAM Failed"));
                return;
            }
            m_ramAddress = CBoardTestPatterns::NextRamAddress(address);
            if (m_ramAddress > CBoardTestPatterns::RamLast)
                m_seq.EndLeaf(true);
            else
                RamBlock();
        });
        return true;
    });
}

void CBoardTestMemoryGroups::TimeKeeperPass()
{
    m_seq.m_failMessage = QStringLiteral("TimeKeeper Data Failed");
    constexpr int first = CBoardTestPatterns::TimeKeeperFirst;
    auto &block = m_doc.Settings().TimeKeeperBytes();
    for (int i = 0; i < CBoardTestPatterns::TimeKeeperBytes; ++i)
        block[size_t(first + i)] = quint8(m_tkPattern[i]);
    m_doc.WriteTimeKeeperSettings();
    m_seq.Await([this](int code, const CReplyNotice &n) {
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
        m_seq.Await([this](int code, const CReplyNotice &) {
            if (code != UpdateCode::Settings)
                return false;
            m_seq.m_await = nullptr;
            const auto &read = m_doc.Settings().TimeKeeperBytes();
            bool same = true;
            for (int i = 0; i < CBoardTestPatterns::TimeKeeperBytes; ++i)
                same = same && read[size_t(first + i)] == quint8(m_tkPattern[i]);
            if (same)
                m_seq.EndLeaf(true);
            else
                m_seq.EndLeaf(false, QStringLiteral("TimeKeeper Data Failed"));
            return true;
        });
        return true;
    });
}

void CBoardTestMemoryGroups::FinishTimeKeeper()
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
