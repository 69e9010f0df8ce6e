// Factory contents of the simulated instrument: a "-02" fuel-vapour unit with
// combustible, oxygen, CO and H2S sensors, as the configuration wizard would
// have left it, plus a few months of use (IDs, calibration date).
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <vector>

namespace SimDefaults {

// 64 bytes: the clock registers 0..6 are left zero (the instrument renders
// them from its clock), then control register and settings.
QByteArray TimeKeeper();

// The toxic gas table: record 0 for no sensor, then one record per gas.
QList<QByteArray> ToxicTable();

// The 81 ID entries, 16 characters each (index 1 is entry 0 here).
QList<QByteArray> IdEntries();

// The whole word memory except the configuration checksum word, which the
// instrument computes over what it holds.
std::vector<quint16> WordMemory();

// 2048 bytes of RAM with the port images of an idle instrument.
QByteArray Ram();

// The configuration text and the version characters as the status bar shows them.
extern const char ConfigurationText[];
extern const char VersionText[];
constexpr quint32 SerialNumber = 10815;
constexpr qint64 ProgrammingDate = 1715675400; // 2024-05-14 08:30:00 UTC

// 16 characters, padded with spaces and cut.
QByteArray IdText(const QByteArray &text);

} // namespace SimDefaults
