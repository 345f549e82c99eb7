#pragma once

#include <functional>
#include <string>
#include <vector>

#include "afc/afcdirectorydelegate.h"

/** Records a copy's callbacks and answers its questions as a test tells it to. */
class RecordingDelegate : public AFCDirectoryDelegate {
public:
    void willCopyFile(const CZelboString& source, const CZelboString& destination,
                      int64_t size) override {
        events.push_back("will " + source.toUtf8() + " -> " + destination.toUtf8() + " " +
                         std::to_string(size));
    }
    void copyProgress(int64_t done, int64_t total) override {
        events.push_back("progress " + std::to_string(done) + "/" + std::to_string(total));
        if (onProgress) onProgress(done);
    }
    void didCopyFile(const CZelboString& destination) override {
        events.push_back("did " + destination.toUtf8());
    }
    bool isCancelled() override { return cancelled; }
    bool shouldOverwrite(const CZelboString& path, CopyTarget target) override {
        events.push_back("overwrite? " + path.toUtf8() +
                         (target == CopyTarget::Device ? " device" : " computer"));
        return overwrite;
    }

    std::vector<std::string> events;
    bool overwrite = false;
    bool cancelled = false;
    std::function<void(int64_t done)> onProgress;
};
