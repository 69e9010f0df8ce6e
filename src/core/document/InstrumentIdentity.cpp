// Decoding of the instrument's identity words and configuration text.
#include "InstrumentIdentity.h"

#include <QDateTime>

namespace {
quint16 WordAt(const QByteArray &bytes, int word)
{
    const int at = word * 2;
    if (at + 1 >= bytes.size())
        return 0xFFFF;
    return quint16(quint8(bytes[at]) | (quint8(bytes[at + 1]) << 8));
}
} // namespace

CInstrumentIdentity CInstrumentIdentity::Decode(const QByteArray &identity, const QByteArray &configuration)
{
    CInstrumentIdentity id;
    id.m_checksum = WordAt(identity, 0);
    id.m_serial = quint32(WordAt(identity, 1)) | (quint32(WordAt(identity, 2)) << 16);
    const quint32 date = quint32(WordAt(identity, 3)) | (quint32(WordAt(identity, 4)) << 16);
    id.m_date = date == 0xFFFFFFFFu ? -1 : qint64(date);
    // Words 0xC009 and 0xC00A: each word's high byte is the earlier character.
    const quint16 v1 = WordAt(identity, 6);
    const quint16 v2 = WordAt(identity, 7);
    const char version[4] = {char(v1 >> 8), char(v1 & 0xFF), char(v2 >> 8), char(v2 & 0xFF)};
    id.m_version = QByteArray(version, 4);
    id.m_configuration = configuration.left(ConfigurationBytes);
    return id;
}

QString CInstrumentIdentity::VersionText() const
{
    if (m_version == QByteArray(4, char(0xFF)))
        return QStringLiteral("V?.??");
    return QStringLiteral("V") + QString::fromLatin1(m_version);
}

QString CInstrumentIdentity::SerialText() const
{
    return QStringLiteral("%1").arg(m_serial, 8, 16, QLatin1Char('0')).toUpper();
}

QString CInstrumentIdentity::ProgrammingDateText() const
{
    if (m_date < 0)
        return {};
    return QDateTime::fromSecsSinceEpoch(m_date).toLocalTime().toString(QStringLiteral("MM/dd/yyyy HH:mm:ss"));
}

QString CInstrumentIdentity::ConfigurationText() const
{
    if (!m_configuration.isEmpty() && quint8(m_configuration[0]) == 0xFF)
        return QStringLiteral("Invalid");
    const qsizetype end = m_configuration.indexOf('\0');
    return QString::fromLatin1(end < 0 ? m_configuration : m_configuration.left(end));
}
