// Decides whether a reply cut off the line really answers the request in
// flight: a flipped bit, a lost character or a late reply from an earlier
// request must never be taken as the instrument's answer.
#pragma once

#include "LinkRecord.h"
#include "LinkRequest.h"

#include <QString>

namespace ReplyCheck {

enum class Verdict {
    Answer,     // the reply answers the request
    Unreadable, // "*": the instrument could not read what it got
    Garbled,    // a record with a wrong checksum or stray characters
    Noise,      // a character that is no reply at all
    Mismatch,   // a well-formed reply that answers some other request
};

// head is the request in flight, as it went out (wireAddress filled in).
Verdict Check(const LinkRequest &head, const LinkReply &reply, bool network);

// A short reason for the protocol trace and -v, e.g. "type 40 for ReadRam".
QString Reason(Verdict verdict, const LinkRequest &head, const LinkReply &reply);

// Data bytes a record answering this request must carry; -1 when the
// instrument decides (log records, board test replies), -2 for "at least one".
int ExpectedLength(const LinkRequest &request);

} // namespace ReplyCheck
