// Request queue, bank selection, reply checking and attribution.
#include "InstrumentLink.h"

#include "RecordNames.h"
#include "RecordTypes.h"
#include "ReplyCheck.h"
#include "platform/Clock.h"

#include <QMetaMethod>
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
    m_pending.clear();
    m_inFlight.clear();
}

void CInstrumentLink::Emit(LinkEvent::Kind kind, const LinkRequest *request, const QByteArray &text,
                           const QString &detail)
{
    if (!isSignalConnected(QMetaMethod::fromSignal(&CInstrumentLink::Event)))
        return;
    LinkEvent event;
    event.kind = kind;
    if (request) {
        event.type = request->type;
        event.address = request->address;
        event.wireAddress = request->wireAddress;
        event.count = request->Count();
    }
    event.text = text;
    event.detail = detail;
    emit Event(event);
}

int CInstrumentLink::QueueRequest(int type, quint32 address, const QByteArray &data, int priority)
{
    for (const LinkRequest &r : m_pending) {
        if (r.type == type && r.address == address && r.data == data)
            return PumpQueue(); // already waiting
    }
    LinkRequest request{type, address, data, m_nextSerial++, address};
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
        request->wireAddress = request->address;
        if (RecordType::IsWordRequest(request->type)) {
            const int bank = int(request->address >> 15);
            if (bank == m_currentBank && m_clock.Now() - m_bankConfirmed < BankConfirmationSeconds) {
                // The request keeps its word address; only the wire carries
                // the byte offset inside the bank.
                request->wireAddress = (request->address * 2) & 0xFFFF;
            } else {
                m_pending.push_front(std::move(m_inFlight.back()));
                m_inFlight.pop_back();
                LinkRequest select{RecordType::SelectBank, 0, QByteArray("\x00", 1) + char(bank & 0xFF),
                                   m_nextSerial++, 0};
                m_inFlight.push_back(std::move(select));
                request = &m_inFlight.back();
            }
        }
        const bool flush = m_pending.empty() || request->type == RecordType::SelectBank
                           || request->type == RecordType::LogNext || int(m_inFlight.size()) >= MaxInFlight;
        const QByteArray text = LinkRecord::Format(request->type, request->wireAddress, request->data);
        Emit(LinkEvent::Sent, request, text);
        result = SendRecord(request->type, request->wireAddress, request->data, flush);
        if (result == 0)
            break;
    }
    return result;
}

void CInstrumentLink::ClearQueues()
{
    const bool any = !IsIdle();
    m_pending.clear();
    m_inFlight.clear();
    if (any)
        Emit(LinkEvent::Cleared, nullptr);
}

void CInstrumentLink::Resynchronise()
{
    ClearQueues();
    m_inFlight.push_front(LinkRequest{RecordType::SetProgramMode, RecordType::RecoveryMarkerAddress, {},
                                      m_nextSerial++, RecordType::RecoveryMarkerAddress});
    DiscardSerialInput();
    RecordReply(-1);
    m_resynchronised = m_clock.Now();
    Emit(LinkEvent::Resynchronise, &m_inFlight.front());
}

bool CInstrumentLink::Resynchronising() const
{
    return m_clock.Now() - m_resynchronised < ResynchronisationWindowSeconds;
}

void CInstrumentLink::OnReceived(const LinkReply &reply)
{
    const bool network = IsNetworkOpen() && !IsSerialOpen();
    if (!reply.IsRecord() && reply.code != 0 && Resynchronising()) {
        // A recovery start is answered by whatever the instrument sends first.
        OnReply(reply.code, -1, 0, 0, nullptr);
        return;
    }
    if (m_inFlight.empty()) {
        // Nothing was asked: a record answers nothing and never becomes data;
        // a reply character is passed on (the instrument's "*" when it starts).
        const bool character = !reply.IsRecord() && LinkRecord::IsReplyCharacter(char(reply.code), network)
                               && reply.code != 0;
        Emit(LinkEvent::Unasked, nullptr, reply.text, character ? QString() : QStringLiteral("ignored"));
        if (character)
            OnReply(reply.code, -1, 0, 0, nullptr);
        return;
    }
    const LinkRequest &head = m_inFlight.front();
    const ReplyCheck::Verdict verdict = ReplyCheck::Check(head, reply, network);
    if (verdict != ReplyCheck::Verdict::Answer) {
        if (verdict == ReplyCheck::Verdict::Unreadable)
            m_currentBank = -1; // it may have restarted: select the bank again
        // On the serial line the instrument's real answer may still follow
        // the noise, so the reply period runs on; a datagram is complete.
        Reject(head, ReplyCheck::Reason(verdict, head, reply), reply.text, network);
        return;
    }
    Emit(LinkEvent::Answer, &head, reply.text);
    if (reply.IsRecord())
        OnReply(0, reply.type, quint32(reply.address), int(reply.data.size()),
                reinterpret_cast<const quint8 *>(reply.data.constData()));
    else
        OnReply(reply.code, -1, 0, 0, nullptr);
}

void CInstrumentLink::OnDatagram(const QList<LinkReply> &replies)
{
    if (Resynchronising() || m_inFlight.empty()) {
        CLinkTransport::OnDatagram(replies);
        return;
    }
    // The gateway answers a datagram of requests with one datagram holding a
    // reply for each, in order. One that holds fewer or more has lost or
    // gained something on the way, and its character replies can no longer
    // be told apart: none of it is taken, and the batch goes out again.
    QString problem;
    if (replies.size() != qsizetype(m_inFlight.size())) {
        problem = QStringLiteral("datagram holds %1 replies for %2 requests").arg(replies.size()).arg(m_inFlight.size());
    } else {
        for (qsizetype i = 0; i < replies.size() && problem.isEmpty(); ++i) {
            const ReplyCheck::Verdict verdict = ReplyCheck::Check(m_inFlight[size_t(i)], replies[i], true);
            if (verdict != ReplyCheck::Verdict::Answer)
                problem = ReplyCheck::Reason(verdict, m_inFlight[size_t(i)], replies[i]);
        }
    }
    if (!problem.isEmpty()) {
        QByteArray text;
        for (const LinkReply &r : replies)
            text += r.text;
        Reject(m_inFlight.front(), problem, text, true);
        return;
    }
    CLinkTransport::OnDatagram(replies);
}

void CInstrumentLink::Reject(const LinkRequest &head, const QString &reason, const QByteArray &text, bool resendNow)
{
    ++m_rejected;
    Emit(LinkEvent::Rejected, &head, text, reason);
    if (resendNow)
        OnReply(-1, -1, 0, 0, nullptr); // as a lost reply: counted, re-queued and sent again
}

void CInstrumentLink::RequeueInFlight(const std::vector<quint64> &concerned)
{
    // After a loss the instrument may have taken a bank selection whose
    // answer never came (on the gateway one may share the datagram with the
    // writes before it): word requests go out again only after a fresh one.
    m_bankConfirmed = m_clock.Now() - 1000000.0;
    auto wasConcerned = [&](const LinkRequest &r) {
        return std::find(concerned.begin(), concerned.end(), r.serial) != concerned.end();
    };
    // Everything that was in flight goes back to the head, oldest first, ahead
    // of whatever the owner queued meanwhile.
    for (auto it = m_inFlight.rbegin(); it != m_inFlight.rend();) {
        if (wasConcerned(*it)) {
            LinkRequest request = std::move(*it);
            it = decltype(it)(m_inFlight.erase(std::next(it).base()));
            // "!" moves the instrument on to its next log record: when its
            // answer is lost, "?" asks for the same record again instead of
            // skipping it (the log retrieval drops a repeat of a record it has).
            if (request.type == RecordType::LogNext)
                request.type = RecordType::LogRepeat;
            Emit(LinkEvent::Resend, &request);
            m_pending.push_front(std::move(request));
        } else {
            ++it;
        }
    }
}

void CInstrumentLink::OnReply(int code, int type, quint32 address, int count, const quint8 *data)
{
    RecordReply(code);

    // Keep the head's data alive through the owner's call: the owner may queue
    // or clear requests while it handles this reply.
    QByteArray headData;
    int answered = -1;
    if (!m_inFlight.empty())
        answered = m_inFlight.front().type;
    if (code != 0) {
        if (!m_inFlight.empty()) {
            const LinkRequest &head = m_inFlight.front();
            type = head.type;
            address = head.address; // word requests keep their word address
            headData = head.data;
            count = int(headData.size());
            data = reinterpret_cast<const quint8 *>(headData.constData());
        } else {
            type = -1;
        }
    }

    if (code > 0 && Resynchronising()) {
        // First character after a recovery start: answer with the head request
        // twice and report nothing, once per Resynchronise.
        if (!m_inFlight.empty()) {
            const LinkRequest head = m_inFlight.front();
            Emit(LinkEvent::Sent, &head, LinkRecord::Format(head.type, head.wireAddress, head.data), QStringLiteral("twice"));
            SendRecord(head.type, head.wireAddress, head.data, true);
            SendRecord(head.type, head.wireAddress, head.data, true);
        }
        m_resynchronised = m_clock.Now() - 20000.0;
        return;
    }

    if (code == -1)
        Emit(LinkEvent::Timeout, m_inFlight.empty() ? nullptr : &m_inFlight.front());

    if (code == '#' && type == RecordType::SelectBank && count >= 2) {
        m_currentBank = data[1];
        m_bankConfirmed = m_clock.Now();
        Emit(LinkEvent::BankSelected, m_inFlight.empty() ? nullptr : &m_inFlight.front());
    }

    // A record answering a word request carries the byte offset in the bank.
    if (code == 0 && RecordType::IsWordRequest(type))
        address = (quint32(m_currentBank) * WordsPerBank) | (address / 2);

    // The owner may queue, clear or resynchronise while it handles the reply;
    // nothing is sent until it returns, and only the requests this reply
    // concerns leave the in-flight list afterwards.
    std::vector<quint64> concerned;
    for (const LinkRequest &r : m_inFlight)
        concerned.push_back(r.serial);
    if (m_owner) {
        m_reporting = true;
        m_answeredType = answered;
        m_owner->OnLinkReply(code, type, address, count, data);
        m_answeredType = -1;
        m_reporting = false;
    }

    if (code == -1)
        RequeueInFlight(concerned);
    else if (!m_inFlight.empty() && !concerned.empty() && m_inFlight.front().serial == concerned.front())
        m_inFlight.pop_front();

    PumpQueue();
}
