#pragma once

#include <mutex>
#include <set>
#include <string>

#include "values/zelbostring.h"

/**
 * The staged files (".plovik-XXXXXXXX.part") this process is writing on devices right now, by
 * device path, so that a listing that removes what interrupted uploads left behind never takes
 * one of them for a leftover. Any thread.
 */
class StagedUploads {
public:
    static StagedUploads& instance();

    /** Keeps a path listed while it lives. */
    class Hold {
    public:
        explicit Hold(CZelboString path);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        CZelboString path_;
    };

    bool isBeingWritten(const CZelboString& path) const;

private:
    StagedUploads() = default;

    mutable std::mutex mutex_;
    std::multiset<std::u16string> paths_;
};
