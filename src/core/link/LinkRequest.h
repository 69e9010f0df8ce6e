// One request on its way to the instrument, as the queue holds it.
#pragma once

#include <QByteArray>
#include <QtGlobal>

// For word requests address is the absolute word address for the request's
// whole life; the bank-relative wire address is worked out each time it goes
// out, so a resend after a lost reply reaches the same word.
struct LinkRequest
{
    int type = 0;
    quint32 address = 0;
    QByteArray data;
    quint64 serial = 0;      // identifies the request while it moves between lists
    quint32 wireAddress = 0; // the address it last went out with

    int Count() const { return int(data.size()); }
};
