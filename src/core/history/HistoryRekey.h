// Gives the readings a database already holds the keys this program makes now, when it takes the database to schema version 3.
#pragma once

#include <QString>

class CHistoryDatabase;

/*
 * Until version 3 a reading's key hashed its row as the CSV file prints it,
 * so the same reading shown with another gas divisor was a new entry. Each
 * stored reading is keyed again from its stored values with the gas names
 * and divisors of the retrieval that brought it (the oldest one whose time
 * span holds it); a reading stored before retrievals kept their divisors
 * takes those of the instrument's newest retrieval that has them, or, with
 * none, a two-decimal grid that keeps every stored value apart.
 *
 * Runs inside the migration's transaction; the rows are read a block of
 * times at a time, so a long log does not have to fit in memory at once.
 */
class CHistoryRekey
{
public:
    static bool Run(CHistoryDatabase &db, QString *error);

    static constexpr int BlockRows = 50000;
};
