// The request queue over the transport: pending and in-flight lists, duplicate
// suppression, bank selection for word requests, resend after timeouts, and
// the one-time double resend after a recovery start.
#pragma once

#include "LinkTransport.h"

#include <QByteArray>
#include <deque>

// One queued request. For word requests the address is the absolute word
// address until it goes out, when it becomes the bank-relative wire address.
struct LinkRequest
{
    int type = 0;
    quint32 address = 0;
    QByteArray data;
    quint64 serial = 0; // identifies the request while it moves between lists

    int Count() const { return int(data.size()); }
};

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

protected:
    void OnReply(int code, int type, quint32 address, int count, const quint8 *data) override;

private:
    std::deque<LinkRequest> m_pending;
    std::deque<LinkRequest> m_inFlight;
    ILinkReplySink *m_owner = nullptr;
    int m_currentBank = -1;
    quint64 m_nextSerial = 1;
    bool m_reporting = false;
    double m_bankConfirmed;
    double m_resynchronised;
};
