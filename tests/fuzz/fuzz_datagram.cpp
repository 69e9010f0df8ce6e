// Parses arbitrary bytes as one gateway datagram.
#include "link/LinkRecord.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray datagram(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<LinkReply> replies = LinkRecord::ParseDatagram(datagram);
    if (replies.size() > datagram.size())
        std::abort();
    for (const LinkReply &r : replies) {
        if (r.data.size() > 255)
            std::abort();
    }
    return 0;
}
