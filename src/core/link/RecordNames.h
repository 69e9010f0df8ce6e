// Names of the record types, as the protocol trace and diagnostics show them.
#pragma once

#include <QString>

namespace RecordNames {
// "ReadWords", "LogNext", ... ; "Type 0x%02X" for a type the program never sends.
QString Name(int type);
} // namespace RecordNames
