// A device's replies to libplovik-usbmux's AFC requests: the operation the input's first byte
// picks (listings, file information alone and streamed, reads with their read ahead, writes
// with their status behind, seeks, tells, path operations, streams of whole files and of parts of
// files), then its replies, in pieces of a size the second byte picks.
#include <string>
#include <vector>

#include "afcconnection.h"
#include "fuzzinput.h"
#include "fuzztargets.h"
#include "scriptedserviceconnection.h"
#include "serviceconnection.h"

namespace {

using plovik::usbmux::AfcConnection;

constexpr uint64_t kReadOnly = 1;
constexpr uint64_t kWriteTruncate = 3;

void readFileThrough(AfcConnection& afc, uint32_t bufferSize) {
    uint64_t file = 0;
    if (afc.openFile("/DCIM/a.jpg", kReadOnly, &file) != 0)
        return;
    std::vector<uint8_t> buffer(bufferSize);
    for (int reads = 0; reads < 8; ++reads) {
        uint32_t length = bufferSize;
        const int result = afc.readFile(file, buffer.data(), &length);
        fuzzCheck(length <= bufferSize, "a read gives at most what was asked");
        if (result != 0 || length == 0)
            break;
        if (reads == 2) {
            uint64_t position = 0;
            afc.tellFile(file, &position);
        }
        if (reads == 4)
            afc.seekFile(file, 3, 0);
    }
    afc.closeFile(file);
}

void writeFileThrough(AfcConnection& afc) {
    uint64_t file = 0;
    if (afc.openFile("/DCIM/b.jpg", kWriteTruncate, &file) != 0)
        return;
    const std::vector<uint8_t> bytes(100, 0x5a);
    for (int writes = 0; writes < 4; ++writes) {
        if (afc.writeFile(file, bytes.data(), static_cast<uint32_t>(bytes.size())) != 0)
            break;
    }
    afc.closeFile(file);
}

}  // namespace

void fuzzAfcReplies(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const uint8_t operation = input.byte();
    const size_t piece = 1 + input.byte() * 33u;
    scriptServiceStream(input.rest(), piece);
    const lockdownd_service_descriptor descriptor{};
    AfcConnection afc(plovik::usbmux::ServiceConnection::open(nullptr, descriptor, nullptr));

    std::vector<std::string> texts;
    switch (operation % 11) {
        case 0:
            afc.readDirectory("/DCIM", &texts);
            break;
        case 1:
            afc.fileInfo("/DCIM/a.jpg", &texts);
            fuzzCheck(texts.size() % 2 == 0 || texts.empty(), "information comes in pairs");
            break;
        case 2: {
            const std::vector<const char*> paths = {"/a", "/b", "/c", "/d", "/e"};
            std::vector<int> answered(paths.size(), 0);
            afc.fileInfoOfEach(paths, [&](size_t index, int, std::vector<std::string>&) {
                fuzzCheck(index < paths.size(), "an answer is for a path asked about");
                ++answered[index];
            });
            for (const int count : answered)
                fuzzCheck(count <= 1, "each path is answered once at most");
            break;
        }
        case 3:
            readFileThrough(afc, 64);
            break;
        case 4:
            readFileThrough(afc, 4096);
            break;
        case 5:
            writeFileThrough(afc);
            break;
        case 6:
            afc.makeDirectory("/DCIM/new");
            afc.renamePath("/DCIM/new", "/DCIM/old");
            afc.setFileTime("/DCIM/old", 1'700'000'000'000'000'000);
            afc.removePath("/DCIM/old");
            break;
        case 8: {
            const std::vector<const char*> paths = {"/a", "/b", "/c"};
            std::vector<int> answered(paths.size(), 0);
            afc.wholeFilesOfEach(paths, {10, 0, 100}, 200,
                                 [&](size_t index, int result, std::vector<uint8_t>& contents) {
                                     fuzzCheck(index < paths.size(), "a file asked for");
                                     fuzzCheck(result != 0 || contents.size() <= 200,
                                               "no file longer than the largest taken");
                                     ++answered[index];
                                 });
            for (const int count : answered)
                fuzzCheck(count <= 1, "each file is answered once at most");
            break;
        }
        case 9: {
            const uint8_t bytes[] = {1, 2, 3};
            const std::vector<plovik::usbmux::AfcWholeFileWrites::File> files = {
                {"/a", "/.a", bytes, sizeof bytes, 1}, {"/b", "/.b", bytes, 0, 0}};
            std::vector<int> answered(files.size(), 0);
            afc.wholeFilesWritten(files, [&](size_t index, int, bool) {
                fuzzCheck(index < files.size(), "a file asked for");
                ++answered[index];
            });
            for (const int count : answered)
                fuzzCheck(count <= 1, "each file is answered once at most");
            break;
        }
        case 10: {
            const std::vector<plovik::usbmux::AfcFilePartReads::Part> parts = {
                {"/a", 0, 100}, {"/b", 70'000, 10}, {"/c", 5, 70'000}};
            std::vector<int> answered(parts.size(), 0);
            afc.filePartsOfEach(
                parts, [&](size_t index, int result, uint64_t, std::vector<uint8_t>& bytes) {
                    fuzzCheck(index < parts.size(), "a part asked for");
                    fuzzCheck(result != 0 || bytes.size() <= parts[index].length,
                              "no part longer than asked");
                    ++answered[index];
                });
            for (const int count : answered)
                fuzzCheck(count <= 1, "each part is answered once at most");
            break;
        }
        default: {
            uint64_t file = 0;
            if (afc.openFile("/DCIM/a.jpg", kReadOnly, &file) == 0) {
                afc.seekFile(file, 0, 2);
                uint64_t position = 0;
                afc.tellFile(file, &position);
                afc.closeFile(file);
            }
            break;
        }
    }
    afc.readDirectory("/", &texts);
}
