// The spool file: records the history database could not take, kept in order until it can.
#pragma once

class CHistorySpool
{
public:
    CHistorySpool() = default;
};
