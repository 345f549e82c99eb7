// Copies through plovik-cli and libplovik-usbmux against plovik-devemu on an emulated USB link,
// side by side with ifuse (libimobiledevice's AFC client under FUSE) copying the same data with
// cp, each against the link's own ceiling; then the listing of a large folder. Every measurement
// gets a fresh emulator, whose counts tell the AFC requests, and so the round trips, it took.
// With --baseline, the plovik-cli of an earlier build is measured beside this one's, on the same
// emulator, and the summary puts the two side by side.

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "benchsupport.h"
#include "childprocess.h"
#include "emulatorprocess.h"
#include "fusemount.h"
#include "interruption.h"
#include "scratchfolder.h"
#include "usblink.h"

namespace fs = std::filesystem;

namespace {

struct Settings {
    int64_t largeBytes = int64_t{1} << 30;
    int smallFiles = 5000;
    int smallKib = 8;
    int entries = 20000;
    std::string link = "usb2";
    // A build folder of an earlier version: its bin/plovik-cli, which loads its own
    // lib/libplovik-usbmux.so.
    std::string baseline;
};

/** Where the run keeps its data and which programs it drives. */
struct Run {
    Settings settings;
    plovik::devemu::LinkProfile profile;
    fs::path work;
    fs::path device;  // the emulated device's folder; its Media/ is served as com.apple.afc
    fs::path upload;  // local sources of pushes
    fs::path download;
    fs::path mountPoint;
    std::string ifuseUnavailable;  // why ifuse is not measured; empty while it is

    fs::path bench() const { return device / "Media/Bench"; }
};

std::string baselineCli(const Settings& settings) {
    return settings.baseline + "/bin/plovik-cli";
}

struct Measurement {
    double seconds = 0;
    EmulatorStats stats;
    // Processor time, user and system: on a machine of few cores the two processes share them,
    // and a measurement they fill says more of the machine than of the link.
    double toolCpuSeconds = 0;
    double emulatorCpuSeconds = 0;
    std::string skipped;  // why it was not measured

    bool measured() const { return skipped.empty(); }
};

struct TreeSize {
    int64_t files = 0;
    int64_t bytes = 0;
    bool operator==(const TreeSize&) const = default;
};

TreeSize sizeOf(const fs::path& item) {
    if (fs::is_regular_file(item))
        return {1, static_cast<int64_t>(fs::file_size(item))};
    TreeSize size;
    for (const auto& entry : fs::recursive_directory_iterator(item)) {
        if (entry.is_regular_file()) {
            ++size.files;
            size.bytes += static_cast<int64_t>(entry.file_size());
        }
    }
    return size;
}

std::string lastLineOf(const fs::path& file) {
    std::ifstream in(file);
    std::string last;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty())
            last = line;
    }
    return last;
}

/** A copy that failed or came out incomplete measures nothing: the run stops. */
void expectCopy(const fs::path& target, const TreeSize& wanted, const std::string& what) {
    const TreeSize copied = fs::exists(target) ? sizeOf(target) : TreeSize{};
    if (!(copied == wanted)) {
        throw std::runtime_error(what + " copied " + std::to_string(copied.files) + " files, " +
                                 std::to_string(copied.bytes) + " bytes instead of " +
                                 std::to_string(wanted.files) + ", " +
                                 std::to_string(wanted.bytes));
    }
}

void runOrFail(const std::vector<std::string>& command, const ChildProcess::Options& options) {
    const int exitCode = ChildProcess::run(command, options);
    if (exitCode != 0) {
        std::string shown;
        for (const std::string& argument : command)
            shown += (shown.empty() ? "" : " ") + argument;
        const std::string said = lastLineOf(options.errorFile);
        throw std::runtime_error(shown + " failed with exit " + std::to_string(exitCode) +
                                 (said.empty() ? "" : ": " + said));
    }
}

ChildProcess::Options optionsFor(const Run& run, const EmulatorProcess& emulator) {
    ChildProcess::Options options;
    options.environment = {"USBMUXD_SOCKET_ADDRESS=" + emulator.socketAddress()};
    options.outputFile = run.work / "command.out";
    options.errorFile = run.work / "command.err";
    fs::remove(options.errorFile);
    return options;
}

/**
 * Writes out what earlier steps left in the page cache, so that a measurement does not pay for the
 * write-back of the files laid out or copied before it.
 */
void settleDisk() {
    ::sync();
}

/** The processor time, user and system, of the children waited for so far. */
double childrenCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

/** plovik-cli ARGUMENTS (this build's, or program) against a fresh emulator. */
Measurement measureCli(const Run& run, const std::vector<std::string>& arguments,
                       const std::string& program = PLOVIK_CLI_PROGRAM) {
    settleDisk();
    EmulatorProcess emulator(PLOVIK_DEVEMU_PROGRAM, run.work, run.device, run.settings.link);
    std::vector<std::string> command{program};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const ChildProcess::Options options = optionsFor(run, emulator);
    Measurement measurement;
    const double before = childrenCpuSeconds();
    measurement.seconds = benchsupport::secondsOf([&] { runOrFail(command, options); });
    const double toolEnded = childrenCpuSeconds();
    measurement.stats = emulator.stop();
    measurement.toolCpuSeconds = toolEnded - before;
    measurement.emulatorCpuSeconds = childrenCpuSeconds() - toolEnded;
    return measurement;
}

/** A command on files under an ifuse mount of a fresh emulator; skipped when it cannot mount. */
Measurement measureIfuse(Run& run, const std::vector<std::string>& command) {
    Measurement measurement;
    if (!run.ifuseUnavailable.empty()) {
        measurement.skipped = run.ifuseUnavailable;
        return measurement;
    }
    settleDisk();
    EmulatorProcess emulator(PLOVIK_DEVEMU_PROGRAM, run.work, run.device, run.settings.link);
    {
        const FuseMount mount(run.mountPoint, emulator.socketAddress(), run.work / "ifuse.log");
        if (!mount.mounted()) {
            run.ifuseUnavailable = mount.failure();
            measurement.skipped = mount.failure();
            return measurement;
        }
        const ChildProcess::Options options = optionsFor(run, emulator);
        measurement.seconds = benchsupport::secondsOf([&] { runOrFail(command, options); });
    }
    measurement.stats = emulator.stop();
    return measurement;
}

void progress(const char* text) {
    std::fprintf(stderr, "  %s\n", text);
}

void layOutData(const Run& run) {
    const Settings& settings = run.settings;
    fs::create_directories(run.bench() / "Pushed");
    // A phone's values, which its lockdownd gives in one whole-domain answer as a device does.
    fs::copy_file(fs::path(PLOVIK_DEMO_DEVICE_DIR) / "device.plist", run.device / "device.plist");
    progress("writing the large file, twice");
    benchsupport::writeRandomFile(run.bench() / "large.bin", settings.largeBytes);
    Interruption::check();
    benchsupport::writeRandomFile(run.upload / "large.bin", settings.largeBytes);
    Interruption::check();
    progress("writing the small files, twice");
    benchsupport::writeSmallFiles(run.bench() / "Small", settings.smallFiles, settings.smallKib);
    Interruption::check();
    benchsupport::writeSmallFiles(run.upload / "Small", settings.smallFiles, settings.smallKib);
    Interruption::check();
    progress("making the folder of many entries");
    fs::create_directories(run.bench() / "Many");
    for (int index = 0; index < settings.entries; ++index) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%05d.JPG", index);
        std::ofstream(run.bench() / "Many" / name);
    }
    fs::create_directories(run.download);
}

/**
 * Moves what a copy made out of the way, so that the next one starts from the same state. Folders
 * are kept aside until the run ends: ext4 looks past every inode freed in the last half minute
 * before it hands out a new one, so removing thousands of small files would slow the next copy's
 * every file creation, on either side, for a reason of the disk's.
 */
void clearCopies(const Run& run) {
    static int spent = 0;
    for (const fs::path& folder : {run.download, run.bench() / "Pushed"}) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.is_directory()) {
                fs::create_directories(run.work / "spent");
                fs::rename(entry.path(), run.work / "spent" / std::to_string(++spent));
            } else {
                fs::remove(entry.path());
            }
        }
    }
}

struct CopyRow {
    std::string label;
    TreeSize size;
    Measurement cli;
    Measurement ifuse;
    Measurement baseline;  // skipped without --baseline
};

/** The baseline's plovik-cli with the same arguments, or a skipped measurement. */
Measurement measureBaseline(const Run& run, const std::vector<std::string>& arguments) {
    if (run.settings.baseline.empty()) {
        Measurement skipped;
        skipped.skipped = "no --baseline";
        return skipped;
    }
    return measureCli(run, arguments, baselineCli(run.settings));
}

/**
 * Pulls and pushes the large file once, unmeasured. The page cache of a machine that has run a
 * while reuses memory it used before; a fresh virtual machine's memory costs a fault on its host
 * the first time each page is written, which would fall on the first copies measured, on either
 * side, and on no desktop.
 */
void warmUpMemory(const Run& run) {
    measureCli(run, {"pull", "/Media/Bench/large.bin", run.download});
    measureCli(run, {"push", run.upload / "large.bin", "/Media/Bench/Pushed"});
    clearCopies(run);
}

/**
 * The run of median time of three that measure makes. The noise of a machine (a virtual
 * machine's memory faulted in on its host, another process) moves one run; the median keeps it out
 * of the figure, and out of the comparison with an earlier build.
 */
template <typename Measure>
Measurement medianOfThree(Measure measure) {
    std::vector<Measurement> runs;
    for (int attempt = 0; attempt < 3; ++attempt)
        runs.push_back(measure());
    std::sort(runs.begin(), runs.end(),
              [](const Measurement& a, const Measurement& b) { return a.seconds < b.seconds; });
    return runs[1];
}

enum class Build { This, Baseline };

/** The median of three copies by a build's plovik-cli, each checked and then moved away. */
Measurement copyByCli(const Run& run, const std::vector<std::string>& arguments,
                      const fs::path& copied, const TreeSize& size, Build build) {
    return medianOfThree([&] {
        const Measurement measurement =
            build == Build::This ? measureCli(run, arguments) : measureBaseline(run, arguments);
        if (measurement.measured()) {
            expectCopy(copied, size,
                       (build == Build::This ? "plovik-cli " : "the baseline's plovik-cli ") +
                           arguments.front());
        }
        clearCopies(run);
        return measurement;
    });
}

/** Pull and push of one item (the large file or the folder of small files), both ways. */
std::vector<CopyRow> measureCopies(Run& run, const std::string& item, const std::string& what) {
    const TreeSize size = sizeOf(run.bench() / item);
    const fs::path mounted = run.mountPoint / "Bench";
    std::vector<CopyRow> rows;

    progress(("pull " + what).c_str());
    CopyRow pull{"pull " + what, size, {}, {}, {}};
    const std::vector<std::string> pullArguments{"pull", "/Media/Bench/" + item, run.download};
    pull.cli = copyByCli(run, pullArguments, run.download / item, size, Build::This);
    pull.baseline = copyByCli(run, pullArguments, run.download / item, size, Build::Baseline);
    pull.ifuse = measureIfuse(run, {"cp", "-r", mounted / item, run.download});
    if (pull.ifuse.measured())
        expectCopy(run.download / item, size, "cp from ifuse");
    clearCopies(run);
    rows.push_back(pull);

    progress(("push " + what).c_str());
    CopyRow push{"push " + what, size, {}, {}, {}};
    const std::vector<std::string> pushArguments{"push", run.upload / item, "/Media/Bench/Pushed"};
    const fs::path pushed = run.bench() / "Pushed" / item;
    push.cli = copyByCli(run, pushArguments, pushed, size, Build::This);
    push.baseline = copyByCli(run, pushArguments, pushed, size, Build::Baseline);
    push.ifuse = measureIfuse(run, {"cp", "-r", run.upload / item, mounted / "Pushed"});
    if (push.ifuse.measured())
        expectCopy(run.bench() / "Pushed" / item, size, "cp to ifuse");
    clearCopies(run);
    rows.push_back(push);
    return rows;
}

struct ListingRow {
    std::string label;
    Measurement measurement;
};

/** The listings of the summary, names first, then full information. */
struct Listings {
    std::vector<ListingRow> rows;  // this build's, then ifuse's
    Measurement baselineNames;
    Measurement baselineFull;
};

Listings measureListings(Run& run) {
    progress("listing the folder of many entries");
    const fs::path mounted = run.mountPoint / "Bench/Many";
    const std::vector<std::string> names{"ls", "/Media/Bench/Many"};
    const std::vector<std::string> full{"ls", "-l", "/Media/Bench/Many"};
    Listings listings;
    listings.rows = {
        {"plovik-cli ls (names)", medianOfThree([&] { return measureCli(run, names); })},
        {"plovik-cli ls -l (full information)",
         medianOfThree([&] { return measureCli(run, full); })},
        {"ifuse ls -f (names)", measureIfuse(run, {"ls", "-f", mounted})},
        {"ifuse ls -l (full information)", measureIfuse(run, {"ls", "-l", mounted})},
    };
    listings.baselineNames = medianOfThree([&] { return measureBaseline(run, names); });
    listings.baselineFull = medianOfThree([&] { return measureBaseline(run, full); });
    return listings;
}

/** The fastest of three runs of program with arguments. */
double fastestRun(const Run& run, const std::vector<std::string>& arguments,
                  const std::string& program) {
    double fastest = 1e9;
    for (int attempt = 0; attempt < 3; ++attempt)
        fastest = std::min(fastest, measureCli(run, arguments, program).seconds);
    return fastest;
}

/** `devices`: no AFC, only start-up. */
double cliStartup(const Run& run) {
    return fastestRun(run, {"devices"}, PLOVIK_CLI_PROGRAM);
}

/** The start-up of a listing: `devices`, the AFC services opened and a folder of four entries. */
double listingStartup(const Run& run, const std::string& program) {
    return fastestRun(run, {"ls", "/Media/Bench"}, program);
}

double ceilingSeconds(const Run& run, int64_t bytes) {
    const double rate = run.profile.bytesPerSecond;
    return rate > 0 ? static_cast<double>(bytes) / rate : 0;
}

double latencySeconds(const Run& run) {
    return std::chrono::duration<double>(run.profile.latency).count();
}

std::string ratioText(double ratio) {
    char text[32];
    std::snprintf(text, sizeof text, "%6.3f", ratio);
    return ratio > 0 ? text : "     -";
}

void printCopies(const Run& run, const std::vector<CopyRow>& rows, double startup) {
    std::printf("\n%-26s %11s %7s | %-39s | %-32s | %s\n", "copy", "bytes", "ceiling", "plovik-cli",
                "ifuse + cp", "plovik-cli");
    std::printf("%-26s %11s %7s | %7s %6s %6s %8s %9s | %7s %6s %8s %9s | %s\n", "", "", "s", "s",
                "ratio", "net", "requests", "rnd trips", "s", "ratio", "requests", "rnd trips",
                "vs ifuse");
    for (const CopyRow& row : rows) {
        const double ceiling = ceilingSeconds(run, row.size.bytes);
        const auto ratio = [ceiling](double seconds) {
            return ratioText(ceiling > 0 && seconds > 0 ? ceiling / seconds : 0);
        };
        const auto columns = [&](const Measurement& measurement) {
            char text[64];
            if (!measurement.measured()) {
                std::snprintf(text, sizeof text, "%7s %6s %8s %9s", "-", "-", "-", "-");
            } else {
                std::snprintf(text, sizeof text, "%7.2f %6s %8llu %9llu", measurement.seconds,
                              ratio(measurement.seconds).c_str(),
                              static_cast<unsigned long long>(measurement.stats.afcRequests),
                              static_cast<unsigned long long>(measurement.stats.afcRoundTrips));
            }
            return std::string(text);
        };
        const double speedup = row.ifuse.measured() ? row.ifuse.seconds / row.cli.seconds : 0;
        std::string cli = columns(row.cli);
        cli.insert(14, " " + ratio(row.cli.seconds - startup));
        std::printf("%-26s %11lld %7.2f | %s | %s | %s%s\n", row.label.c_str(),
                    static_cast<long long>(row.size.bytes), ceiling, cli.c_str(),
                    columns(row.ifuse).c_str(), ratioText(speedup).c_str(), speedup > 0 ? "x" : "");
    }
    std::printf(
        "ratio: the ceiling (bytes / link bandwidth) over the time taken, 1 when the link is full;"
        " net: less plovik-cli's start-up as `devices` takes it (roughly)\n"
        "plovik-cli's figures, here and below, are the median of three runs, each on a fresh "
        "emulator; ifuse's are of one run\n"
        "rnd trips: requests sent only once the reply before had come, each costing the link's "
        "latency\n");
}

void printRequestsPerFile(const Run& run, const std::vector<CopyRow>& rows) {
    const double latency = latencySeconds(run);
    std::printf("\nper file (%.2f ms of latency per round trip on this link)\n", latency * 1000);
    for (const CopyRow& row : rows) {
        const double files = static_cast<double>(row.size.files);
        std::printf("  %s: latency floor at one round trip per file %.2f s, bytes alone %.2f s\n",
                    row.label.c_str(), files * latency, ceilingSeconds(run, row.size.bytes));
        for (const auto& [tool, measurement] :
             {std::pair<const char*, const Measurement&>{"plovik-cli", row.cli},
              std::pair<const char*, const Measurement&>{"ifuse + cp", row.ifuse}}) {
            if (!measurement.measured())
                continue;
            const auto requests = static_cast<double>(measurement.stats.afcRequests);
            const auto roundTrips = static_cast<double>(measurement.stats.afcRoundTrips);
            std::printf(
                "    %-10s %5.2f requests, %5.2f round trips (%.2f s of latency) per file, "
                "%.2f ms per file in all, %llu AFC connection(s)\n"
                "               %s\n",
                tool, requests / files, roundTrips / files, roundTrips * latency,
                measurement.seconds / files * 1000,
                static_cast<unsigned long long>(measurement.stats.afcConnections),
                measurement.stats.operationSummary().c_str());
        }
    }
}

void printListings(const Run& run, const std::vector<ListingRow>& rows) {
    const auto entries = static_cast<double>(run.settings.entries);
    const std::string title = "listing " + std::to_string(run.settings.entries) + " entries";
    std::printf("\n%-38s %8s %9s %9s %9s  %s\n", title.c_str(), "s", "requests", "rnd trips",
                "rt/entry", "by operation");
    for (const ListingRow& row : rows) {
        if (!row.measurement.measured()) {
            std::printf("%-38s %8s  skipped: %s\n", row.label.c_str(), "-",
                        row.measurement.skipped.c_str());
            continue;
        }
        const EmulatorStats& stats = row.measurement.stats;
        std::printf("%-38s %8.2f %9llu %9llu %9.3f  %s\n", row.label.c_str(),
                    row.measurement.seconds, static_cast<unsigned long long>(stats.afcRequests),
                    static_cast<unsigned long long>(stats.afcRoundTrips),
                    static_cast<double>(stats.afcRoundTrips) / entries,
                    stats.operationSummary().c_str());
    }
}

/**
 * plovik-cli's processor time and the emulator's in each measurement of this build: where their
 * sum comes near the time taken times the machine's cores, the machine bounds it, not the link.
 */
void printProcessorTimes(const std::vector<CopyRow>& copies,
                         const std::vector<ListingRow>& listings) {
    std::printf("\nprocessor time, user and system, on %ld cores %13s %11s %14s\n",
                ::sysconf(_SC_NPROCESSORS_ONLN), "s", "plovik-cli", "plovik-devemu");
    const auto line = [](const std::string& label, const Measurement& measurement) {
        if (measurement.measured())
            std::printf("  %-48s %6.2f %11.2f %14.2f\n", label.c_str(), measurement.seconds,
                        measurement.toolCpuSeconds, measurement.emulatorCpuSeconds);
    };
    for (const CopyRow& row : copies)
        line(row.label, row.cli);
    for (const ListingRow& row : listings) {
        if (row.label.starts_with("plovik-cli"))
            line(row.label, row.measurement);
    }
}

/**
 * Whether this run's link is the one the small-file goal is set for: many small files are bound
 * by round trips, and the goal by USB 2's latency.
 */
bool judgesSmallFiles(const Run& run) {
    return run.settings.link == "usb2";
}

void printGoals(const Run& run, const std::vector<CopyRow>& large,
                const std::vector<CopyRow>& small, const std::vector<ListingRow>& listings,
                double startup) {
    std::printf("\ngoals\n");
    for (const CopyRow& row : large) {
        const double ceiling = ceilingSeconds(run, row.size.bytes);
        if (ceiling <= 0)
            continue;
        const double ratio = ceiling / row.cli.seconds;
        std::printf("  %s at >= 0.95 of the ceiling: %.3f, %s (net of start-up %.3f)",
                    row.label.c_str(), ratio, ratio >= 0.95 ? "met" : "missed",
                    ceiling / (row.cli.seconds - startup));
        if (row.ifuse.measured())
            std::printf(" (ifuse %.3f)", ceiling / row.ifuse.seconds);
        std::printf("\n");
    }
    for (const CopyRow& row : small) {
        const double ceiling = ceilingSeconds(run, row.size.bytes);
        const double ratio = ceiling / row.cli.seconds;
        std::printf("  %s at >= 0.6 of the ceiling over usb2: %.3f, %s (net of start-up %.3f)",
                    row.label.c_str(), ratio,
                    !judgesSmallFiles(run) ? "not judged on this link"
                    : ratio >= 0.6         ? "met"
                                           : "missed",
                    ceiling / (row.cli.seconds - startup));
        if (row.ifuse.measured())
            std::printf(" (ifuse %.3f, plovik-cli %.2fx as fast)", ceiling / row.ifuse.seconds,
                        row.ifuse.seconds / row.cli.seconds);
        std::printf("\n");
    }
    // This build's listings come first: the names, then the full information.
    const double limits[] = {0.1, 0.5};
    for (size_t index = 0; index < std::size(limits) && index < listings.size(); ++index) {
        const Measurement& measurement = listings[index].measurement;
        std::printf("  %s in <= %.1f s: %.3f s, %s\n", listings[index].label.c_str(),
                    limits[index], measurement.seconds,
                    measurement.seconds <= limits[index] ? "met" : "missed");
    }
}

/** The copy's ratio to the link's ceiling and its round trips per file, or "-". */
std::string copyCell(const Run& run, const CopyRow& row, const Measurement& measurement) {
    if (!measurement.measured())
        return "-";
    char text[64];
    std::snprintf(
        text, sizeof text, "%.3f (%.2f rt/file)",
        ceilingSeconds(run, row.size.bytes) / measurement.seconds,
        static_cast<double>(measurement.stats.afcRoundTrips) / static_cast<double>(row.size.files));
    return text;
}

/** The listing's seconds, net of the program's start-up, and its round trips per entry. */
std::string listingCell(const Run& run, const Measurement& measurement, double startup) {
    if (!measurement.measured())
        return "-";
    char text[64];
    std::snprintf(text, sizeof text, "%.2f s, net %.2f (%.3f rt/entry)", measurement.seconds,
                  measurement.seconds - startup,
                  static_cast<double>(measurement.stats.afcRoundTrips) / run.settings.entries);
    return text;
}

/**
 * The summary in the form of the table: the baseline before, this build after. Listings
 * are net of the start-up of a listing of four entries.
 */
void printSummary(const Run& run, const std::vector<CopyRow>& copies, const Listings& listings) {
    const double startup = listingStartup(run, PLOVIK_CLI_PROGRAM);
    const double baselineStartup =
        run.settings.baseline.empty() ? 0 : listingStartup(run, baselineCli(run.settings));
    std::printf(
        "\nsummary on --link %s: copies as ratios to the ceiling, listings in seconds "
        "(net: less `ls` of a folder of four entries)\n",
        run.settings.link.c_str());
    std::printf("%-34s | %-30s | %-30s | %-30s | %s\n", "work", "before (--baseline)",
                "after (this build)", "ifuse + cp / ls", "goal");
    const char* smallGoal = judgesSmallFiles(run) ? ">= 0.6" : "(>= 0.6 over usb2)";
    const char* goals[] = {">= 0.95", ">= 0.95", smallGoal, smallGoal};
    for (size_t index = 0; index < copies.size(); ++index) {
        const CopyRow& row = copies[index];
        std::printf("%-34s | %-30s | %-30s | %-30s | %s\n", row.label.c_str(),
                    copyCell(run, row, row.baseline).c_str(), copyCell(run, row, row.cli).c_str(),
                    copyCell(run, row, row.ifuse).c_str(), index < 4 ? goals[index] : "");
    }
    const std::string entries = std::to_string(run.settings.entries);
    std::printf("%-34s | %-30s | %-30s | %-30s | %s\n",
                ("list " + entries + " entries, full info").c_str(),
                listingCell(run, listings.baselineFull, baselineStartup).c_str(),
                listingCell(run, listings.rows[1].measurement, startup).c_str(),
                listingCell(run, listings.rows[3].measurement, 0).c_str(), "<= 0.5 s");
    std::printf("%-34s | %-30s | %-30s | %-30s | %s\n",
                ("list " + entries + " names (ls; ifuse ls -f)").c_str(),
                listingCell(run, listings.baselineNames, baselineStartup).c_str(),
                listingCell(run, listings.rows[0].measurement, startup).c_str(),
                listingCell(run, listings.rows[2].measurement, 0).c_str(), "<= 0.1 s");
    std::printf(
        "listing start-up: before %.2f s, after %.2f s; rt: requests sent only once the "
        "reply before had come\n",
        baselineStartup, startup);
}

int usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s [--large-mib 1024] [--small-files 5000] [--small-kib 8]\n"
                 "          [--entries 20000] [--link usb2|usb3|MBPS,MS] [--baseline BUILD_DIR]\n",
                 program);
    return 2;
}

bool parse(int argc, char** argv, Settings& settings) {
    for (int index = 1; index + 1 < argc; index += 2) {
        const std::string option = argv[index];
        const char* value = argv[index + 1];
        if (option == "--large-mib")
            settings.largeBytes = int64_t{std::max(1, std::atoi(value))} << 20;
        else if (option == "--small-files")
            settings.smallFiles = std::max(1, std::atoi(value));
        else if (option == "--small-kib")
            settings.smallKib = std::max(1, std::atoi(value));
        else if (option == "--entries")
            settings.entries = std::max(1, std::atoi(value));
        else if (option == "--link")
            settings.link = value;
        else if (option == "--baseline")
            settings.baseline = value;
        else
            return false;
    }
    return argc % 2 == 1;
}

void runBench(Run& run) {
    layOutData(run);
    // The first of these runs pairs the device.
    progress("timing the start-up of plovik-cli");
    const double startup = cliStartup(run);
    progress("copying the large file both ways once, unmeasured");
    warmUpMemory(run);
    char large[64];
    std::snprintf(large, sizeof large, "1 file of %lld MiB",
                  static_cast<long long>(run.settings.largeBytes >> 20));
    char small[64];
    std::snprintf(small, sizeof small, "%d files of %d KiB", run.settings.smallFiles,
                  run.settings.smallKib);
    const std::vector<CopyRow> largeRows = measureCopies(run, "large.bin", large);
    const std::vector<CopyRow> smallRows = measureCopies(run, "Small", small);
    const Listings listings = measureListings(run);

    std::printf("\nplovik-devemu --link %s: %.1f MB/s, %.2f ms per request\n",
                run.settings.link.c_str(), run.profile.bytesPerSecond / 1e6,
                latencySeconds(run) * 1000);
    std::printf("plovik-cli start-up (devices, no AFC): %.2f s, part of every plovik-cli time\n",
                startup);
    if (!run.ifuseUnavailable.empty())
        std::printf("ifuse skipped: %s\n", run.ifuseUnavailable.c_str());
    std::vector<CopyRow> all = largeRows;
    all.insert(all.end(), smallRows.begin(), smallRows.end());
    printCopies(run, all, startup);
    printRequestsPerFile(run, smallRows);
    printListings(run, listings.rows);
    printProcessorTimes(all, listings.rows);
    printGoals(run, largeRows, smallRows, listings.rows, startup);
    printSummary(run, all, listings);
}

}  // namespace

int main(int argc, char** argv) {
    Run run;
    if (!parse(argc, argv, run.settings))
        return usage(argv[0]);
    const auto profile = plovik::devemu::LinkProfile::parse(run.settings.link);
    if (!profile)
        return usage(argv[0]);
    run.profile = *profile;
    Interruption::install();
    try {
        const ScratchFolder scratch("plovik-link-bench");
        run.work = scratch.path();
        run.device = run.work / "device";
        run.upload = run.work / "up";
        run.download = run.work / "down";
        run.mountPoint = run.work / "mnt";
        run.ifuseUnavailable = FuseMount::unavailableReason();
        std::fprintf(stderr, "plovik link benchmark in %s\n", run.work.c_str());
        runBench(run);
    } catch (const Interrupted&) {
        std::fprintf(stderr, "interrupted; the run's mount and folders are removed\n");
        return 130;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "plovik link benchmark: %s\n", error.what());
        return 1;
    }
    return 0;
}
