// HEIC photos converted to JPEG while they are copied: whether converting slows a copy over an
// emulated USB 2 link.
//
// A camera roll of phone-sized HEIC photos (12 megapixels, with a phone's Exif) is served by
// plovik-devemu with --link usb2 and pulled by plovik-cli through libplovik-usbmux, once as it is
// and once with --heic-to-jpeg, in one run. Beside it, one photo converted at a time on one core,
// the pace a single conversion thread keeps.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "benchsupport.h"
#include "emulatorprocess.h"
#include "photos/heictojpeg.h"
#include "samplephotos.h"
#include "scratchfolder.h"
#include "transfer/heicconversions.h"

namespace {

namespace fs = std::filesystem;

struct Options {
    int photos = 60;
    int width = 4032;
    int height = 3024;
    int sample = 6;
    std::string link = "usb2";
};

// The pace of the emulated USB 2 link's payload, as the link benchmark measures its ceiling.
constexpr double kLinkMBps = 35.0;

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        const bool hasValue = i + 1 < argc;
        if (flag == "--photos" && hasValue)
            options.photos = std::atoi(argv[++i]);
        else if (flag == "--width" && hasValue)
            options.width = std::atoi(argv[++i]);
        else if (flag == "--height" && hasValue)
            options.height = std::atoi(argv[++i]);
        else if (flag == "--sample" && hasValue)
            options.sample = std::atoi(argv[++i]);
        else if (flag == "--link" && hasValue)
            options.link = argv[++i];
        else {
            std::printf(
                "usage: %s [--photos N] [--width W] [--height H] [--sample N] [--link usb2]\n"
                "  photos: the camera roll pulled (default 60); sample: photos converted one\n"
                "  at a time on one core (default 6)\n",
                argv[0]);
            std::exit(flag == "--help" ? 0 : 2);
        }
    }
    return options;
}

void writeBytes(const fs::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

double megabytes(double bytes) {
    return bytes / 1e6;
}

/** plovik-cli pull of the camera roll against a fresh emulator; the seconds it took. */
double pull(const fs::path& work, const fs::path& device, const Options& options,
            const fs::path& into, bool convert) {
    fs::remove_all(into);
    fs::create_directories(into);
    EmulatorProcess emulator(PLOVIK_DEVEMU_PROGRAM, work, device, options.link);
    ChildProcess::Options run;
    run.environment = {"USBMUXD_SOCKET_ADDRESS=" + emulator.socketAddress()};
    run.errorFile = work / "pull.err";
    std::vector<std::string> command{PLOVIK_CLI_PROGRAM, "pull"};
    if (convert)
        command.push_back("--heic-to-jpeg");
    command.push_back("/Media/DCIM/100APPLE");
    command.push_back(into.string());
    int exitCode = 0;
    const double seconds =
        benchsupport::secondsOf([&] { exitCode = ChildProcess::run(command, run); });
    emulator.stop();
    if (exitCode != 0)
        throw std::runtime_error("plovik-cli pull failed; see " + run.errorFile);
    int arrived = 0;
    for (const auto& entry : fs::directory_iterator(into / "100APPLE")) {
        const bool jpeg = entry.path().extension() == ".JPG";
        arrived += jpeg == convert ? 1 : 0;
    }
    if (arrived != options.photos)
        throw std::runtime_error("the pull brought " + std::to_string(arrived) + " of " +
                                 std::to_string(options.photos) + " photos");
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    try {
        ScratchFolder scratch("plovik-heic-bench");
        const fs::path work = scratch.path();
        std::fprintf(stderr, "  drawing and encoding a %d x %d photo\n", options.width,
                     options.height);
        const std::vector<uint8_t> heic = cameraHeic(
            drawLandscape(options.width, options.height, 2), 6, 320, phoneExifTiff(6, PhoneExif{}));
        if (heic.empty())
            throw std::runtime_error("libheif cannot encode HEVC here");

        std::fprintf(stderr, "  converting %d photos on one thread\n", options.sample);
        size_t jpegBytes = 0;
        const double oneThread = benchsupport::secondsOf([&] {
            for (int i = 0; i < options.sample; ++i) {
                const HeicToJpegResult result = convertHeicToJpeg(heic);
                if (result.jpeg.empty())
                    throw std::runtime_error("conversion failed: " + result.failure.toUtf8());
                jpegBytes = result.jpeg.size();
            }
        });

        const fs::path device = work / "device";
        const fs::path roll = device / "Media/DCIM/100APPLE";
        fs::create_directories(roll);
        fs::create_directories(device / "Apps");
        fs::copy_file(fs::path(PLOVIK_DEMO_DEVICE_DIR) / "device.plist", device / "device.plist");
        for (int i = 0; i < options.photos; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "IMG_%04d.HEIC", i + 1);
            writeBytes(roll / name, heic);
        }
        std::fprintf(stderr, "  pulling %d photos as they are\n", options.photos);
        const double plain = pull(work, device, options, work / "plain", false);
        std::fprintf(stderr, "  pulling %d photos as JPEGs\n", options.photos);
        const double converted = pull(work, device, options, work / "converted", true);

        const double heicMB = megabytes(static_cast<double>(heic.size()));
        const double rollMB = heicMB * options.photos;
        const double photosPerSecond = options.sample / oneThread;
        std::printf(
            "HEIC to JPEG while copying (%d x %d, HEIC %.2f MB, JPEG %.2f MB, %d cores, "
            "%d conversion threads)\n\n",
            options.width, options.height, heicMB, megabytes(static_cast<double>(jpegBytes)),
            static_cast<int>(std::thread::hardware_concurrency()),
            HeicConversions::defaultThreads());
        std::printf(
            "one thread converting          %6.2f photos/s  %6.1f MB/s of HEIC  "
            "%5.2f x the link's %.0f MB/s\n",
            photosPerSecond, photosPerSecond * heicMB, photosPerSecond * heicMB / kLinkMBps,
            kLinkMBps);
        std::printf("pull as they are (%s)         %6.2f s         %6.1f MB/s\n",
                    options.link.c_str(), plain, rollMB / plain);
        std::printf(
            "pull --heic-to-jpeg (%s)      %6.2f s         %6.1f MB/s of HEIC, "
            "%.2f photos/s\n",
            options.link.c_str(), converted, rollMB / converted, options.photos / converted);
        std::printf("\nconverting / plain copy time   %6.2f\n", converted / plain);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "plovik_heic_bench: %s\n", error.what());
        return 1;
    }
}
