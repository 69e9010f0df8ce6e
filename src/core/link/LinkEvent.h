// What the request queue did, for the protocol trace and -v: every request
// sent, every reply taken or refused, timeouts, resends, bank selections and
// recovery starts.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

struct LinkEvent
{
    enum Kind {
        Sent,     // a request went out (or into the datagram being gathered)
        Answer,   // a reply was taken as the answer to the request in flight
        Rejected, // a reply was not taken: it answers nothing in flight
        Unasked,  // something arrived with nothing in flight
        Timeout,  // no reply within the reply period
        Resend,   // a request goes back to the pending list to be sent again
        BankSelected, // the instrument confirmed a bank
        Resynchronise, // a recovery start armed the double marker
        Cleared,  // both lists were emptied
    };

    Kind kind = Sent;
    int type = -1;            // request type, -1 when none
    quint32 address = 0;      // absolute address (word address for word requests)
    quint32 wireAddress = 0;  // the address on the wire
    int count = 0;            // data bytes of the request or reply
    QByteArray text;          // the characters sent or received
    QString detail;           // why a reply was refused, what was resent
};
