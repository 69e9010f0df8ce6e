// The request queue over the transport: pending and in-flight lists, duplicate
// suppression, bank selection for word requests, resend after timeouts, and
// the one-time double resend after a recovery start. Every reply is checked
// against the request it claims to answer before anyone sees it.
#pragma once

#include "LinkEvent.h"
#include "LinkRequest.h"
#include "LinkTransport.h"

#include <QByteArray>
#include <deque>

// Whoever receives the replies (the instrument document). data is valid only
// during the call.
class ILinkReplySink
{
public:
    virtual ~ILinkReplySink() = default;
    virtual void OnLinkReply(int code, int type, quint32 address, int count, const quint8 *data) = 0;
};

class CInstrumentLink : public CLinkTransport
{
    Q_OBJECT
public:
    static constexpr double BankConfirmationSeconds = 0.1;
    static constexpr double ResynchronisationWindowSeconds = 10000.0;
    static constexpr int WordsPerBank = 32768;
    static constexpr int MaxInFlight = 8;

    explicit CInstrumentLink(CClock &clock, QObject *parent = nullptr);
    ~CInstrumentLink() override;

    void SetOwner(ILinkReplySink *owner) { m_owner = owner; }

    int QueueRequest(int type, quint32 address, const QByteArray &data = {}, int priority = 0);
    int PumpQueue();
    void ClearQueues();
    void Resynchronise();
    bool IsIdle() const { return m_pending.empty() && m_inFlight.empty(); }

    int CurrentBank() const { return m_currentBank; }
    const std::deque<LinkRequest> &Pending() const { return m_pending; }
    const std::deque<LinkRequest> &InFlight() const { return m_inFlight; }
    // During the owner's call: the type of the request the reply answers
    // (a log record answers LogNext or LogRepeat); -1 otherwise.
    int AnsweredType() const { return m_answeredType; }
    // Replies refused since the link was made (damaged, unreadable, noise,
    // or answering another request).
    quint64 RejectedReplies() const { return m_rejected; }

signals:
    void Event(const LinkEvent &event);

protected:
    void OnReply(int code, int type, quint32 address, int count, const quint8 *data) override;
    void OnReceived(const LinkReply &reply) override;
    void OnDatagram(const QList<LinkReply> &replies) override;

private:
    bool Resynchronising() const;
    void Reject(const LinkRequest &head, const QString &reason, const QByteArray &text, bool resendNow);
    void RequeueInFlight(const std::vector<quint64> &concerned);
    void Emit(LinkEvent::Kind kind, const LinkRequest *request, const QByteArray &text = {},
              const QString &detail = {});

    std::deque<LinkRequest> m_pending;
    std::deque<LinkRequest> m_inFlight;
    ILinkReplySink *m_owner = nullptr;
    int m_currentBank = -1;
    quint64 m_nextSerial = 1;
    bool m_reporting = false;
    int m_answeredType = -1;
    quint64 m_rejected = 0;
    double m_bankConfirmed;
    double m_resynchronised;
};
