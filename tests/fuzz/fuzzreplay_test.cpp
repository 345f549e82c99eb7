// Every kept input of every fuzz target run through that target's body: the seed corpus, so the
// targets keep working, and each crash input ever found, so a mended fault stays mended.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzztargets.h"

namespace {

struct Target {
    const char* name;
    FuzzEntry entry;
};

const Target kTargets[] = {
    {"afc_info_texts", fuzzAfcInfoTexts},
    {"afc_replies", fuzzAfcReplies},
    {"afc_requests", fuzzAfcRequests},
    {"exif_tiff", fuzzExifTiff},
    {"heif_boxes", fuzzHeifBoxes},
    {"jpeg_metadata", fuzzJpegMetadata},
    {"lockdown_messages", fuzzLockdownMessages},
    {"make_thumbnail", fuzzMakeThumbnail},
    {"mux_requests", fuzzMuxRequests},
    {"plist_conversion", fuzzPlistConversion},
    {"png_chunks", fuzzPngChunks},
    {"service_messages", fuzzServiceMessages},
    {"text_formatter", fuzzTextFormatter},
    {"thumbnail_cache_entries", fuzzThumbnailCacheEntries},
    {"thumbnail_reader", fuzzThumbnailReader},
    {"utf8", fuzzUtf8},
    {"video_thumbnail", fuzzVideoThumbnail},
};

// The files of a folder of inputs, in name order; none when it does not exist.
std::vector<std::filesystem::path> inputsIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.is_regular_file() && entry.path().filename().string().front() != '.')
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> contents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FuzzReplay : public testing::TestWithParam<Target> {};

TEST_P(FuzzReplay, CorpusAndCrashInputsRunThrough) {
    const std::filesystem::path root = PLOVIK_FUZZ_INPUTS;
    const auto corpus = inputsIn(root / "corpus" / GetParam().name);
    EXPECT_FALSE(corpus.empty()) << "no seed corpus for " << GetParam().name;
    std::vector<std::filesystem::path> inputs = corpus;
    const auto crashes = inputsIn(root / "crashes" / GetParam().name);
    inputs.insert(inputs.end(), crashes.begin(), crashes.end());
    for (const auto& file : inputs) {
        SCOPED_TRACE(file.string());
        const std::vector<uint8_t> bytes = contents(file);
        // Twice: a decoder that depends on what an earlier run left on the heap shows.
        GetParam().entry(bytes.data(), bytes.size());
        GetParam().entry(bytes.data(), bytes.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, testing::ValuesIn(kTargets),
                         [](const testing::TestParamInfo<Target>& target) {
                             return std::string(target.param.name);
                         });

}  // namespace
