// One connection to the history database: the engine, the schema and every statement, on SQLite and PostgreSQL alike.
#pragma once

class CHistoryDatabase
{
public:
    CHistoryDatabase() = default;
};
