// History records as the spool file keeps them, and back.
#pragma once

#include "HistorySpool.h"
#include "HistoryTypes.h"
#include "datalog/LogRecord.h"

#include <QList>
#include <QString>

class CHistorySpoolCodec
{
public:
    static CHistorySpool::Record Pack(const HistoryInstrument &instrument);
    static CHistorySpool::Record Pack(const HistorySnapshot &snapshot);
    static CHistorySpool::Record Pack(const HistoryLogRetrieval &retrieval, const QList<LogRecord> &entries);
    static CHistorySpool::Record Pack(const HistoryFirmwareRun &run);
    static CHistorySpool::Record Pack(const HistoryBoardTest &result);

    // "instrument", "snapshot", "log", "firmware", "boardtest"; empty for a
    // record this program cannot read.
    static QString Kind(const CHistorySpool::Record &record);
    static bool Unpack(const CHistorySpool::Record &record, HistoryInstrument *instrument);
    static bool Unpack(const CHistorySpool::Record &record, HistorySnapshot *snapshot);
    static bool Unpack(const CHistorySpool::Record &record, HistoryLogRetrieval *retrieval, QList<LogRecord> *entries);
    static bool Unpack(const CHistorySpool::Record &record, HistoryFirmwareRun *run);
    static bool Unpack(const CHistorySpool::Record &record, HistoryBoardTest *result);
};
