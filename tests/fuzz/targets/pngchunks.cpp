// PNG text chunks: the cache key's chunk looked for in any file, and a chunk added to a file
// found again as it was written.
#include <string>

#include "fuzztargets.h"
#include "thumbs/pngtextchunk.h"

void fuzzPngChunks(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> png(data, size);
    findTextChunk(png, "Plovik cache key");
    const std::string text(reinterpret_cast<const char*>(data), std::min<size_t>(size, 40));
    const auto withText = withTextChunk(png, "Fuzz", text);
    if (!withText)
        return;
    const auto found = findTextChunk(*withText, "Fuzz");
    fuzzCheck(found && *found == text, "a text chunk added is found as it was written");
}
