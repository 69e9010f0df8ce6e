// Request queue, bank selection and reply attribution.
#include "InstrumentLink.h"

#include "RecordTypes.h"
#include "platform/Clock.h"

#include <algorithm>
#include <vector>

CInstrumentLink::CInstrumentLink(CClock &clock, QObject *parent)
    : CLinkTransport(clock, parent),
      m_bankConfirmed(clock.Now() - 1000000.0),
      m_resynchronised(clock.Now() - 1000000.0)
{
}

CInstrumentLink::~CInstrumentLink()
{
    ClearQueues();
}

int CInstrumentLink::QueueRequest(int type, quint32 address, const QByteArray &data, int priority)
{
    for (const LinkRequest &r : m_pending) {
        if (r.type == type && r.address == address && r.data == data)
            return PumpQueue(); // already waiting
    }
    LinkRequest request{type, address, data, m_nextSerial++};
    if (priority)
        m_pending.push_front(std::move(request));
    else
        m_pending.push_back(std::move(request));
    return PumpQueue();
}

int CInstrumentLink::PumpQueue()
{
    if (!m_inFlight.empty() || m_reporting)
        return 0; // a reply (or timeout) must be handled first
    int result = 0;
    while (!m_pending.empty()) {
        m_inFlight.push_back(std::move(m_pending.front()));
        m_pending.pop_front();
        LinkRequest *request = &m_inFlight.back();
        if (RecordType::IsWordRequest(request->type)) {
            const int bank = int(request->address >> 15);
            if (bank == m_currentBank && m_clock.Now() - m_bankConfirmed < BankConfirmationSeconds) {
                request->address = (request->address * 2) & 0xFFFF;
            } else {
                m_pending.push_front(std::move(m_inFlight.back()));
                m_inFlight.pop_back();
                LinkRequest select{RecordType::SelectBank, 0, QByteArray("\x00", 1) + char(bank & 0xFF),
                                   m_nextSerial++};
                m_inFlight.push_back(std::move(select));
                request = &m_inFlight.back();
            }
        }
        const bool flush = m_pending.empty() || request->type == RecordType::SelectBank
                           || request->type == RecordType::LogNext || int(m_inFlight.size()) >= MaxInFlight;
        result = SendRecord(request->type, request->address, request->data, flush);
        if (result == 0)
            break;
    }
    return result;
}

void CInstrumentLink::ClearQueues()
{
    m_pending.clear();
    m_inFlight.clear();
}

void CInstrumentLink::Resynchronise()
{
    ClearQueues();
    m_inFlight.push_front(LinkRequest{RecordType::SetProgramMode, RecordType::RecoveryMarkerAddress, {}, m_nextSerial++});
    DiscardSerialInput();
    RecordReply(-1);
    m_resynchronised = m_clock.Now();
}

void CInstrumentLink::OnReply(int code, int type, quint32 address, int count, const quint8 *data)
{
    RecordReply(code);

    // Keep the head's data alive through the owner's call: the owner may queue
    // or clear requests while it handles this reply.
    QByteArray headData;
    if (code != 0) {
        if (!m_inFlight.empty()) {
            const LinkRequest &head = m_inFlight.front();
            type = head.type;
            address = head.address;
            headData = head.data;
            count = int(headData.size());
            data = reinterpret_cast<const quint8 *>(headData.constData());
        } else {
            type = -1;
        }
    }

    if (code > 0 && m_clock.Now() - m_resynchronised < ResynchronisationWindowSeconds) {
        // First character after a recovery start: answer with the head request
        // twice and report nothing, once per Resynchronise.
        if (!m_inFlight.empty()) {
            const LinkRequest head = m_inFlight.front();
            SendRecord(head.type, head.address, head.data, true);
            SendRecord(head.type, head.address, head.data, true);
        }
        m_resynchronised = m_clock.Now() - 20000.0;
        return;
    }

    if (code == '#' && type == RecordType::SelectBank && count >= 2) {
        m_currentBank = data[1];
        m_bankConfirmed = m_clock.Now();
    }

    if (RecordType::IsWordRequest(type))
        address = (quint32(m_currentBank) * WordsPerBank) | (address / 2);

    // The owner may queue, clear or resynchronise while it handles the reply;
    // nothing is sent until it returns, and only the requests this reply
    // concerns leave the in-flight list afterwards.
    std::vector<quint64> concerned;
    for (const LinkRequest &r : m_inFlight)
        concerned.push_back(r.serial);
    if (m_owner) {
        m_reporting = true;
        m_owner->OnLinkReply(code, type, address, count, data);
        m_reporting = false;
    }

    auto wasConcerned = [&](const LinkRequest &r) {
        return std::find(concerned.begin(), concerned.end(), r.serial) != concerned.end();
    };
    if (code == -1) {
        // Everything that was in flight goes back to the head, oldest first,
        // ahead of whatever the owner queued meanwhile.
        for (auto it = m_inFlight.rbegin(); it != m_inFlight.rend();) {
            if (wasConcerned(*it)) {
                m_pending.push_front(std::move(*it));
                it = decltype(it)(m_inFlight.erase(std::next(it).base()));
            } else {
                ++it;
            }
        }
    } else if (!m_inFlight.empty() && !concerned.empty() && m_inFlight.front().serial == concerned.front()) {
        m_inFlight.pop_front();
    }

    PumpQueue();
}
