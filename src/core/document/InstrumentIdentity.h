// What the instrument says about itself: the identity words at 0xC003..0xC00A
// and the configuration text at 0xC010..0xC01F, decoded for display.
#pragma once

#include <QByteArray>
#include <QString>

class CInstrumentIdentity
{
public:
    static constexpr quint32 IdentityWord = 0xC003;   // checksum, serial, date, version
    static constexpr int IdentityBytes = 16;          // words 0xC003..0xC00A
    static constexpr quint32 ConfigurationWord = 0xC010;
    static constexpr int ConfigurationBytes = 32;     // words 0xC010..0xC01F

    // identity: the 16 bytes read at word 0xC003, low byte of each word first;
    // configuration: the 32 bytes read at word 0xC010. Shorter inputs read as erased.
    static CInstrumentIdentity Decode(const QByteArray &identity, const QByteArray &configuration);

    quint16 Checksum() const { return m_checksum; }
    quint32 SerialNumber() const { return m_serial; }
    // Seconds since 1 January 1970; -1 when the words are erased.
    qint64 ProgrammingDate() const { return m_date; }

    // "V" and the four version characters, high byte of each word first;
    // "V?.??" on erased words.
    QString VersionText() const;
    // "%08X" of the serial number.
    QString SerialText() const;
    // Local time "%m/%d/%Y %H:%M:%S"; empty for erased words.
    QString ProgrammingDateText() const;
    // Up to 32 characters, ending at the first NUL; "Invalid" for erased flash.
    QString ConfigurationText() const;

private:
    quint16 m_checksum = 0xFFFF;
    quint32 m_serial = 0xFFFFFFFF;
    qint64 m_date = -1;
    QByteArray m_version = QByteArray(4, char(0xFF));
    QByteArray m_configuration;
};
