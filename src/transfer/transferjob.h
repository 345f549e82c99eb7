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
