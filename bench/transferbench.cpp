// Copies through the whole stack (device nodes, folder walks, AFC copies, the simulator) against
// cp of the same data in the same run: one large file and many small files in nested folders,
// device to computer and computer to device. Prints the times and our time over cp's.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "benchsupport.h"
#include "fstree/devicefilesystemnode.h"
#include "support/simulateddevice.h"
#include "support/temporaryfolder.h"
#include "transfer/devicefolderdownload.h"
#include "transfer/localfolderupload.h"
#include "transfer/transferobserver.h"

namespace fs = std::filesystem;
using namespace benchsupport;

namespace {

using Options = benchsupport::CopySizes;

void runCp(const fs::path& from, const fs::path& into) {
    const std::string command = "cp -r '" + from.string() + "' '" + into.string() + "'";
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "failed: %s\n", command.c_str());
}

struct Measurement {
    double ours;
    double cp;
};

/** Each side repeat times, alternating, cleaned up between runs; the best of each. */
Measurement measure(int repeat, const std::function<void()>& ours, const std::function<void()>& cp,
                    const std::function<void()>& cleanUp) {
    Measurement best{1e300, 1e300};
    for (int run = 0; run < repeat; ++run) {
        best.cp = std::min(best.cp, secondsOf(cp));
        cleanUp();
        best.ours = std::min(best.ours, secondsOf(ours));
        cleanUp();
    }
    return best;
}

void report(const char* what, int64_t bytes, const Measurement& measured) {
    const double mib = static_cast<double>(bytes) / (1024.0 * 1024.0);
    std::printf("%-34s plovik %8.3f s (%7.1f MiB/s)   cp %8.3f s (%7.1f MiB/s)   ratio %.3f\n",
                what, measured.ours, mib / measured.ours, measured.cp, mib / measured.cp,
                measured.ours / measured.cp);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!benchsupport::parseCopyFlags(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s [--large-mib 1024] [--small-files 5000] [--small-kib 8] "
                     "[--repeat 1]\n",
                     argv[0]);
        return 2;
    }
    SimulatedDevice phone;
    phone.waitUntilReady();
    const auto deviceNode = ZelboLib::DeviceFileSystemNode::create(
        std::shared_ptr<AMDevice>(&phone.device(), [](AMDevice*) {}));
    TemporaryFolder local;
    const fs::path out = local / "out";
    const fs::path source = local / "source";
    const auto cleanOut = [&] {
        fs::remove_all(out);
        fs::create_directories(out);
        fs::remove_all(phone.media() / "Pushed");
        fs::create_directories(phone.media() / "Pushed");
    };
    cleanOut();

    const int64_t largeBytes = options.largeMiB * 1024 * 1024;
    const int64_t smallBytes = int64_t{options.smallFiles} * options.smallKiB * 1024;
    writeRandomFile(phone.media() / "Large/large.bin", largeBytes);
    writeRandomFile(source / "Large/large.bin", largeBytes);
    writeSmallFiles(phone.media() / "Small", options.smallFiles, options.smallKiB);
    writeSmallFiles(source / "Small", options.smallFiles, options.smallKiB);

    FailureCounter failures;
    const auto pull = [&](const char16_t* path) {
        DeviceFolderDownload(failures).run(deviceNode->nodeForPath(path),
                                           CZelboString::fromUtf8(out.string()));
    };
    const auto push = [&](const char* name) {
        LocalFolderUpload(failures).run(CZelboString::fromUtf8((source / name).string()),
                                        deviceNode->nodeForPath(u"/Media/Pushed"));
    };
    std::printf("ratio = plovik time / cp time; best of %d\n", options.repeat);
    report("device -> computer, 1 large file", largeBytes,
           measure(
               options.repeat, [&] { pull(u"/Media/Large"); },
               [&] { runCp(phone.media() / "Large", out); }, cleanOut));
    report("computer -> device, 1 large file", largeBytes,
           measure(
               options.repeat, [&] { push("Large"); },
               [&] { runCp(source / "Large", phone.media() / "Pushed"); }, cleanOut));
    report("device -> computer, small files", smallBytes,
           measure(
               options.repeat, [&] { pull(u"/Media/Small"); },
               [&] { runCp(phone.media() / "Small", out); }, cleanOut));
    report("computer -> device, small files", smallBytes,
           measure(
               options.repeat, [&] { push("Small"); },
               [&] { runCp(source / "Small", phone.media() / "Pushed"); }, cleanOut));
    if (failures.failures > 0)
        std::printf("%d copies failed: the times above do not count\n", failures.failures);
    return 0;
}
