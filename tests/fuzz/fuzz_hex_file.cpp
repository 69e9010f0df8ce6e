// Feeds arbitrary bytes to the HEX file reader: it must stay inside its
// buffer, and whatever it accepts must be safe to program.
#include "firmware/HexFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CHexFile hex;
    const bool ok = hex.Parse(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!ok) {
        if (!hex.Items().isEmpty() || hex.ErrorString().isEmpty())
            std::abort();
        return 0;
    }
    bool ended = false;
    for (const auto &item : hex.Items()) {
        if (ended || item.bytes.size() % 2 != 0)
            std::abort();
        if (item.type == CHexFile::Data
            && (item.bytes.isEmpty() || quint64(item.wordAddress) + quint64(item.WordCount()) > CHexFile::FlashWords))
            std::abort();
        ended = item.type == CHexFile::EndOfFile;
    }
    if (!ended)
        std::abort();
    for (const auto &block : hex.CompareBlocks())
        if (block.wordAddress + quint32(block.WordCount()) > CHexFile::BootAreaWords)
            std::abort();
    for (const auto &block : hex.WriteBlocks())
        if (block.wordAddress < CHexFile::BootAreaWords || block.WordCount() > CHexFile::MaxWordsPerWrite
            || block.WordCount() == 0)
            std::abort();
    if (hex.BootImage().size() != qsizetype(2 * CHexFile::BootAreaWords))
        std::abort();
    return 0;
}
