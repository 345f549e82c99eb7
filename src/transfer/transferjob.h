#pragma once

#include <memory>
#include <vector>

#include "values/zelbostring.h"

class AMDevice;

namespace ZelboLib {
class FileSystemNode;
}

/** Whether a download turns HEIC photos into JPEGs. */
enum class HeicToJpeg { Keep, Convert };

/** A file an import copies, and the local folder it goes into (which must exist). */
struct ImportFile {
    std::shared_ptr<ZelboLib::FileSystemNode> node;
    CZelboString localFolder;
};

/** One item the user chose to copy. */
struct TransferJob {
    /** True for a download (device to this computer), false for an upload. */
    bool fromDevice = false;
    /** A download's device item path; an upload's local path. */
    CZelboString itemPath;
    /** A download's local folder; an upload's device folder path. */
    CZelboString destinationPath;
    /** A download's device item; an upload's target folder. */
    std::shared_ptr<ZelboLib::FileSystemNode> node;
    /**
     * An import's files, each into its own folder, copied in one walk; node is then the folder
     * they lie below. Empty for any other job.
     */
    std::vector<ImportFile> importFiles = {};
};

/** The jobs of one command. */
struct TransferBatch {
    std::vector<TransferJob> jobs;
    /** The device folder an upload writes into, shown again once the batch is done; null else. */
    std::shared_ptr<ZelboLib::FileSystemNode> targetFolder;
    /** The device the command works on. */
    std::shared_ptr<AMDevice> device;
    HeicToJpeg heicToJpeg = HeicToJpeg::Keep;
};
