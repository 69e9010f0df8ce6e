// What this build of the programs is and has: its version, and the parts a
// platform's build may go without.
#pragma once

namespace BuildInfo {
// "0.1.0": the project's version.
const char *Version();
// Whether the PostgreSQL client is built in, so that a shared history
// server can be used (the Windows build keeps the SQLite file only).
bool HasPostgresClient();
} // namespace BuildInfo
