// One analog measurement of the board test: what the board is switched to,
// which channel is read, the limits key, and the prompt that shows the
// operator the live reading.
#pragma once

#include "BoardTestLimits.h"

#include <QList>
#include <QString>

struct CBoardTestMeasurement
{
    enum class Switch { None, HcPart, ToxicMux };

    QString key;          // the limits key, also the prompt's title
    QString format;       // the prompt text; see Text()
    QString word;         // "Disconnect" / "Connect" for the presence checks
    bool usesSetting = false; // the format takes the key's setting before the reading
    quint8 channel = 0;
    double scale = 1.0;   // channel volts to the value shown and checked
    Switch change = Switch::None;
    int hcPart = 0;
    int toxic = 0;        // 0 Toxic 1, 1 Toxic 2
    int gain = 0;
    int bias = 0;

    // volts = raw x 5 / 65536 of the channel, times the scale.
    double Value(int raw) const { return raw * 5.0 / 65536.0 * scale; }
    // The prompt with the reading, followed by " (min,max)".
    QString Text(const BoardTestLimit &limit, double value) const;

    // The measurements of one leaf of the "Analog I/O" group, in the order
    // they run; leaf is the position among the group's leaves.
    static QList<CBoardTestMeasurement> ForLeaf(int leaf);
    static constexpr int LeafCount = 16;
};
