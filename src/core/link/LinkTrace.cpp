// Protocol trace lines and the file they go to.
#include "LinkTrace.h"

#include "InstrumentLink.h"
#include "LinkRecord.h"
#include "RecordNames.h"
#include "RecordTypes.h"

#include <QDateTime>
#include <QTimer>
#include <utility>

namespace {

QString Shown(const QByteArray &text)
{
    QString out;
    for (char c : text) {
        const auto u = quint8(c);
        if (u >= 0x20 && u < 0x7F)
            out += QLatin1Char(c);
        else
            out += QStringLiteral("<%1>").arg(u, 2, 16, QLatin1Char('0'));
    }
    return out.isEmpty() ? QStringLiteral("-") : out;
}

QString CharacterMeaning(char c)
{
    switch (c) {
    case '#': return QStringLiteral("done");
    case '$': return QStringLiteral("refused");
    case '%': return QStringLiteral("refused: no bank selected");
    case '*': return QStringLiteral("record not readable");
    case 'Z': return QStringLiteral("log upload starts");
    case '!': return QStringLiteral("LogNext");
    case '?': return QStringLiteral("LogRepeat");
    case '|': return QStringLiteral("gateway bar");
    default: return QStringLiteral("no reply character");
    }
}

QString RequestMeaning(int type, quint32 address, quint32 wire, const QByteArray &data)
{
    QString name = RecordNames::Name(type);
    if (type >= 256)
        return name;
    if (RecordType::IsWordRequest(type)) {
        name += QStringLiteral(" word 0x%1 (bank %2 offset 0x%3)")
                    .arg(address, 5, 16, QLatin1Char('0'))
                    .arg(address >> 15)
                    .arg(wire & 0xFFFF, 4, 16, QLatin1Char('0'));
    } else if (address == RecordType::RecoveryMarkerAddress) {
        name += QStringLiteral(" recovery marker");
    } else {
        name += QStringLiteral(" 0x%1").arg(address & 0xFFFF, 4, 16, QLatin1Char('0'));
    }
    if (type == RecordType::ReadWords || type == RecordType::ReadRam || type == RecordType::ReadTimeKeeper
        || type == RecordType::ReadToxicTableChunk) {
        if (data.size() == 1)
            return name + QStringLiteral(" read %1 bytes").arg(quint8(data[0]));
    }
    if (type == RecordType::SelectBank && data.size() == 2)
        return name + QStringLiteral(" bank %1").arg(quint8(data[1]));
    return data.isEmpty() ? name : name + QStringLiteral(" %1 bytes").arg(data.size());
}

} // namespace

CLinkTrace::CLinkTrace(CInstrumentLink &link, QObject *parent) : QObject(parent)
{
    m_elapsed.start();
    connect(&link, &CInstrumentLink::Event, this, &CLinkTrace::OnEvent);
}

CLinkTrace::~CLinkTrace()
{
    Drain();
    if (m_file.isOpen())
        m_file.close();
}

bool CLinkTrace::Open(const QString &path, QString *error)
{
    Drain();
    if (m_file.isOpen())
        m_file.close();
    m_failed = false;
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        if (error)
            *error = QStringLiteral("cannot write the protocol trace %1: %2").arg(path, m_file.errorString());
        return false;
    }
    m_elapsed.restart();
    Write(QStringLiteral("# protocol trace started %1; times in microseconds from then\n")
              .arg(QDateTime::currentDateTime().toString(Qt::ISODateWithMs))
              .toUtf8());
    return true;
}

QString CLinkTrace::Meaning(const QByteArray &text, bool reply)
{
    if (text.size() == 1)
        return reply ? QStringLiteral("\"%1\" %2").arg(QString(QLatin1Char(text[0])), CharacterMeaning(text[0]))
                     : CharacterMeaning(text[0]);
    if (text.isEmpty() || text[0] != ':' || text.size() < LinkRecord::RecordLength(0))
        return QStringLiteral("not a record");
    const LinkReply record = LinkRecord::DecodeRecord(text.constData(), int(text.size()));
    if (record.type < 0)
        return QStringLiteral("incomplete record");
    QString meaning = QStringLiteral("%1 0x%2 %3 bytes")
                          .arg(RecordNames::Name(record.type))
                          .arg(record.address, 4, 16, QLatin1Char('0'))
                          .arg(record.data.size());
    if (!record.intact)
        meaning += QStringLiteral(", damaged");
    return meaning;
}

QString CLinkTrace::Describe(const LinkEvent &e)
{
    switch (e.kind) {
    case LinkEvent::Sent:
        return QStringLiteral("> %1  %2%3")
            .arg(Shown(e.text),
                 RequestMeaning(e.type, e.address, e.wireAddress,
                                e.text.size() > 1 ? LinkRecord::DecodeRecord(e.text.constData(), int(e.text.size())).data
                                                  : QByteArray()),
                 e.detail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(e.detail));
    case LinkEvent::Answer:
        return QStringLiteral("< %1  %2").arg(Shown(e.text), Meaning(e.text, true));
    case LinkEvent::Rejected:
        return QStringLiteral("< %1  refused: %2").arg(Shown(e.text), e.detail);
    case LinkEvent::Unasked:
        return QStringLiteral("< %1  unasked%2")
            .arg(Shown(e.text), e.detail.isEmpty() ? QString() : QStringLiteral(", ") + e.detail);
    case LinkEvent::Timeout:
        return e.type < 0 ? QStringLiteral("-- timeout")
                          : QStringLiteral("-- timeout waiting for %1").arg(RecordNames::Name(e.type));
    case LinkEvent::Resend:
        return QStringLiteral("-- resend %1").arg(RequestMeaning(e.type, e.address, e.wireAddress, {}));
    case LinkEvent::BankSelected:
        return QStringLiteral("-- bank selected");
    case LinkEvent::Resynchronise:
        return QStringLiteral("-- resynchronise: recovery marker armed");
    case LinkEvent::Cleared:
        return QStringLiteral("-- queues cleared");
    }
    return {};
}

void CLinkTrace::OnEvent(const LinkEvent &event)
{
    if (!m_file.isOpen() && !m_echo)
        return;
    m_noted.append({m_elapsed.nsecsElapsed() / 1000, event});
    if (!m_drainScheduled) {
        m_drainScheduled = true;
        QTimer::singleShot(DrainDelayMs, this, &CLinkTrace::Drain);
    }
}

void CLinkTrace::Drain()
{
    m_drainScheduled = false;
    if (m_noted.isEmpty())
        return;
    const QList<Noted> noted = std::exchange(m_noted, {});
    QByteArray bytes;
    for (const Noted &n : noted) {
        const QString line = Describe(n.event);
        if (m_echo)
            m_echo(line);
        if (m_file.isOpen())
            bytes += QStringLiteral("%1 %2\n").arg(n.us, 12).arg(line).toUtf8();
    }
    if (m_file.isOpen())
        Write(bytes);
}

void CLinkTrace::Write(const QByteArray &bytes)
{
    if (m_file.write(bytes) == bytes.size() && m_file.flush())
        return;
    const QString reason = m_file.errorString();
    m_file.close();
    if (!m_failed) {
        m_failed = true;
        emit Warning(QStringLiteral("The protocol trace %1 could not be written (%2); the trace stops, the work goes on.")
                         .arg(m_file.fileName(), reason));
    }
}
