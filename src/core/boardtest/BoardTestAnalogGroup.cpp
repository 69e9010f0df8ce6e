// The board test's analog I/O group.
#include "BoardTestAnalogGroup.h"

#include "BoardTestRequests.h"
#include "BoardTestSequence.h"
#include "document/InstrumentDoc.h"

CBoardTestAnalogGroup::CBoardTestAnalogGroup(CBoardTestSequence &sequence) : m_seq(sequence), m_doc(sequence.m_doc)
{
}

void CBoardTestAnalogGroup::StartLeaf(int position)
{
    m_measurements = CBoardTestMeasurement::ForLeaf(position);
    Measure(0);
}

void CBoardTestAnalogGroup::Measure(int index)
{
    m_measure = index;
    if (index >= m_measurements.size()) {
        m_seq.EndLeaf(true);
        return;
    }
    const CBoardTestMeasurement &m = m_measurements[index];
    auto start = [this] {
        const CBoardTestMeasurement &m = m_measurements[m_measure];
        m_seq.ShowPrompt(m.key, m.Text(m_seq.m_limits.Lookup(m.key), 0.0));
        m_seq.m_onCancel = [this] { m_seq.EndLeaf(false); };
        ReadMeasurement();
    };
    switch (m.change) {
    case CBoardTestMeasurement::Switch::None:
        start();
        break;
    case CBoardTestMeasurement::Switch::HcPart: {
        const int part = m.hcPart;
        m_doc.SendBoardTest(BoardTestRequest::HcPart, QByteArray(1, char(part)));
        m_seq.Await([this, part, start](int code, const CReplyNotice &n) {
            if (code != BoardTestRequest::HcPart)
                return false;
            m_seq.m_await = nullptr;
            // A board that cannot switch to the part cannot pass it.
            if (n.status != part)
                m_seq.EndLeaf(false);
            else
                start();
            return true;
        });
        break;
    }
    case CBoardTestMeasurement::Switch::ToxicMux:
        m_mux[m.toxic] = BoardTestRequest::MuxByte(m.gain, m.bias);
        m_doc.SendBoardTest(BoardTestRequest::ToxicMux, QByteArray() + char(m_mux[0]) + char(m_mux[1]));
        m_seq.Await([this, start](int code, const CReplyNotice &) {
            if (code != BoardTestRequest::ToxicMux)
                return false;
            m_seq.m_await = nullptr;
            start();
            return true;
        });
        break;
    }
}

void CBoardTestAnalogGroup::ReadMeasurement()
{
    const CBoardTestMeasurement &m = m_measurements[m_measure];
    m_doc.SendBoardTest(BoardTestRequest::ReadChannels, BoardTestRequest::ReadChannelData(m.channel, 8));
    m_seq.Await([this](int code, const CReplyNotice &n) {
        if (code != BoardTestRequest::ReadChannels)
            return false;
        m_seq.m_await = nullptr;
        const CBoardTestMeasurement &m = m_measurements[m_measure];
        const BoardTestLimit limit = m_seq.m_limits.Lookup(m.key);
        const int raw = BoardTestRequest::Reading(n.data, 0);
        if (raw >= 0) {
            const double value = m.Value(raw);
            m_seq.SetPromptText(m.Text(limit, value));
            if (limit.Within(value)) {
                m_seq.m_onCancel = nullptr;
                Measure(m_measure + 1);
                return true;
            }
        }
        m_seq.Later([this] { ReadMeasurement(); }, m_seq.m_readIntervalMs);
        return true;
    });
}
