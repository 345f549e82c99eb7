#pragma once

// What the transfer benchmarks share: a failure-counting observer, timing, and test data.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "transfer/transferobserver.h"

namespace benchsupport {

namespace fs = std::filesystem;

/** Counts failures; a benchmark whose copies fail measures nothing. */
class FailureCounter : public TransferObserver {
public:
    void fileStarted(const CZelboString&, const CZelboString&, int64_t) override {}
    void fileProgress(int64_t, int64_t) override {}
    void fileFinished(const CZelboString&, const CZelboString&) override {}
    void itemFailed(const CZelboString& source, const CZelboString& reason) override {
        std::fprintf(stderr, "failed: %s: %s\n", source.toUtf8().c_str(), reason.toUtf8().c_str());
        ++failures;
    }
    void itemSkipped(const CZelboString&, const CZelboString&) override {}
    int failures = 0;
};

inline double secondsOf(const std::function<void()>& work) {
    // Dirty pages of the previous run would otherwise be written back during this one.
    sync();
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline void writeRandomFile(const fs::path& file, int64_t bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    std::vector<uint64_t> block(1 << 17);
    uint64_t state = 0x9e3779b97f4a7c15u;
    for (int64_t written = 0; written < bytes;) {
        for (uint64_t& word : block) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            word = state;
        }
        const int64_t count =
            std::min<int64_t>(bytes - written, static_cast<int64_t>(block.size() * 8));
        out.write(reinterpret_cast<const char*>(block.data()), count);
        written += count;
    }
}

/** files files of kib KiB each, 50 to a folder, folders two levels deep. */
inline void writeSmallFiles(const fs::path& folder, int files, int kib) {
    for (int index = 0; index < files; ++index) {
        char name[64];
        std::snprintf(name, sizeof name, "g%02d/f%03d/file%05d.bin", index / 500 % 100,
                      index / 50 % 10, index);
        writeRandomFile(folder / name, int64_t{kib} * 1024);
    }
}

/** The sizes and repetitions of the copy benchmarks, as their flags set them. */
struct CopySizes {
    int64_t largeMiB = 1024;
    int smallFiles = 5000;
    int smallKiB = 8;
    int repeat = 1;
};

/**
 * Reads "--flag number" pairs: the copy sizes' own flags into sizes, any other flag through
 * extraFlag, which says whether it knew it. False for an unknown flag or a flag without a number.
 */
inline bool parseCopyFlags(
    int argc, char** argv, CopySizes& sizes,
    const std::function<bool(const std::string&, long long)>& extraFlag =
        [](const std::string&, long long) { return false; }) {
    for (int index = 1; index + 1 < argc; index += 2) {
        const std::string flag = argv[index];
        const long long value = std::atoll(argv[index + 1]);
        if (flag == "--large-mib")
            sizes.largeMiB = value;
        else if (flag == "--small-files")
            sizes.smallFiles = static_cast<int>(value);
        else if (flag == "--small-kib")
            sizes.smallKiB = static_cast<int>(value);
        else if (flag == "--repeat")
            sizes.repeat = std::max(1, static_cast<int>(value));
        else if (!extraFlag(flag, value))
            return false;
    }
    return argc % 2 == 1;
}

}  // namespace benchsupport
