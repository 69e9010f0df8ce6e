// Feeds arbitrary bytes to the serial reply cutter in arbitrary chunk sizes:
// whatever arrives, it must stay inside its buffers and keep its buffer bounded.
#include "link/LinkRecord.h"
#include "link/RecordTypes.h"
#include "link/ReplyCheck.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses the chunk size, as a serial driver would.
    const size_t chunkSize = size_t(data[0] % 64) + 1;
    CSerialReplyAssembler assembler;
    for (size_t at = 1; at < size; at += chunkSize) {
        const size_t n = (size - at) < chunkSize ? (size - at) : chunkSize;
        LinkReply reply;
        if (assembler.Feed(QByteArray(reinterpret_cast<const char *>(data + at), qsizetype(n)), reply)) {
            if (reply.code == 0 && reply.data.size() > 255)
                std::abort();
            // A record taken as intact is exactly what its fields say.
            if (reply.IsRecord() && reply.intact
                && LinkRecord::Format(reply.type, unsigned(reply.address), reply.data) != reply.text.toUpper())
                std::abort();
            // Whatever came, an answer to a clock read is a clock record or
            // a refusal.
            const LinkRequest clock{RecordType::ReadTimeKeeper, 0, QByteArray(1, 7), 1, 0};
            const bool refusal = !reply.IsRecord() && (reply.code == '$' || reply.code == '%');
            if (ReplyCheck::Check(clock, reply, false) == ReplyCheck::Verdict::Answer && !refusal
                && (!reply.IsRecord() || reply.type != RecordType::ReadTimeKeeper || reply.address != 0
                    || reply.data.size() != 7))
                std::abort();
        }
        // A record in progress never needs more than the longest record
        // plus one chunk.
        if (assembler.Buffer().size() > qsizetype(LinkRecord::RecordLength(255) + chunkSize))
            std::abort();
    }
    return 0;
}
