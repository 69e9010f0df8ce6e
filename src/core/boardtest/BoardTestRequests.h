// The board-test records (types 240 to 243) as the board-test firmware and
// the test box take them: the data bytes of each request and its reply.
#pragma once

#include <QByteArray>
#include <QtGlobal>

/*
 * 240 toxic muxes   request: 2 bytes, (gain * 4 + bias) & 0x1F for Toxic 1,
 *                   then for Toxic 2 (gain 0..7, bias 0..3).
 *                   reply: the two settings now switched in.
 * 241 HC part       request: 1 byte, the part of the combustible amplifier
 *                   to switch in (1..HcParts).
 *                   reply: 1 byte, the part now switched in; 0 when the
 *                   board has no such part.
 * 242 test mode     request: 2 bytes, 1 to take over the ports the firmware
 *                   drives itself (speaker, alarm LEDs, back light, pump,
 *                   LEL supply) so that RAM writes to them stick, 0 to give
 *                   them back; then the settling time after a mux switch in
 *                   10 ms units.
 *                   reply: the two bytes as taken.
 * 243 read channels request: 3 pairs of (converter channel 0..11, samples to
 *                   average 1..255); channel 0xFF reads nothing.
 *                   reply: 3 raw 16-bit readings, low byte first, in the
 *                   order asked; 0 for a channel that reads nothing.
 */
namespace BoardTestRequest {
enum : int {
    ToxicMux = 240,
    HcPart = 241,
    TestMode = 242,
    ReadChannels = 243,
};

constexpr int HcParts = 3;
constexpr int ToxicBiases = 4;
constexpr int ToxicGains = 8;
constexpr int ChannelsPerRead = 3;
constexpr quint8 NoChannel = 0xFF;

// Converter channels, numbered as the Analog view numbers them.
enum Channel : quint8 {
    Toxic1 = 0,
    Toxic2 = 1,
    Temperature = 2,
    Battery = 3,
    Toxic2Presence = 4,
    Toxic1Presence = 5,
    O2 = 8,
    Tc = 9,
    Hc = 10,
};

constexpr quint8 MuxByte(int gain, int bias)
{
    return quint8((gain * 4 + bias) & 0x1F);
}

inline QByteArray ToxicMuxData(int gain1, int bias1, int gain2, int bias2)
{
    QByteArray d(2, '\0');
    d[0] = char(MuxByte(gain1, bias1));
    d[1] = char(MuxByte(gain2, bias2));
    return d;
}

inline QByteArray ReadChannelData(quint8 channel, quint8 samples)
{
    QByteArray d(2 * ChannelsPerRead, char(NoChannel));
    d[0] = char(channel);
    for (int i = 0; i < ChannelsPerRead; ++i)
        d[2 * i + 1] = char(samples);
    return d;
}

// Reading k of a 243 reply; -1 when the reply is too short to hold it.
inline int Reading(const QByteArray &reply, int k)
{
    if (k < 0 || 2 * k + 1 >= reply.size())
        return -1;
    return quint8(reply[2 * k]) | (quint8(reply[2 * k + 1]) << 8);
}
} // namespace BoardTestRequest
