// The PostgreSQL password file (~/.pgpass, PGPASSFILE): where the client library looks, and writing one entry into it.
#pragma once

#include <QString>

struct CHistoryLocation;

class CHistoryPasswordFile
{
public:
    struct Entry
    {
        QString host; // a name, an address, a socket folder or "localhost" for the default socket
        QString port;
        QString database;
        QString user;
        QString password;
    };

    // The file the client library reads for this location: its passfile
    // setting, else PGPASSFILE, else ~/.pgpass (on Windows
    // %APPDATA%/postgresql/pgpass.conf).
    static QString Path(const CHistoryLocation &location);
    // host:port:database:user:password with ':' and '\' escaped; empty when
    // a field holds a line break, which the file cannot.
    static QString Line(const Entry &entry);
    // Writes the entry ahead of every other (the library takes the first
    // that fits), in place of any for the same host, port, database and
    // user; other lines stay as they were. The file is readable by its owner
    // only, or the library ignores it.
    static bool Store(const QString &path, const Entry &entry, QString *error);
};
