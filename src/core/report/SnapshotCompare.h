// Two settings snapshots side by side: every option key with its value in each, and the bits no key shows.
#pragma once

#include <QList>
#include <QString>

struct SnapshotCompareRow
{
    QString section; // the options-file section; "Binary" for bytes no key shows
    QString key;     // the option key, or "TimeKeeper byte N"
    QString left;    // as the older (left) snapshot has it; empty when it lacks the key
    QString right;
    bool differs = false;
};

/*
 * A snapshot is the options file's text, whose values are already in the
 * units the views show, written with the tables the instrument had at the
 * time. So keys are compared as the file writes them, which also keeps two
 * snapshots of instruments with different tables comparable. Keys match
 * case-blind, as the file's own rules have it.
 *
 * The [Binary] copy of the TimeKeeper block is not compared as one line of
 * hex: its bytes go through the download check's comparison, which names
 * only what no key covers (HCRangeIndex, reserved bits), by byte.
 */
class CSnapshotCompare
{
public:
    // Every key of either text: the left text's keys in file order, then keys
    // only the right one has, then the unkeyed TimeKeeper bytes that differ.
    static QList<SnapshotCompareRow> Rows(const QString &leftText, const QString &rightText);
    // Only the rows whose values differ.
    static QList<SnapshotCompareRow> Differences(const QString &leftText, const QString &rightText);
};
