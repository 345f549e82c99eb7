#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "values/zelbostring.h"

/** An open local file (a POSIX descriptor), closed when the object goes. */
class LocalFile {
public:
    /** Opens an existing file for reading; isOpen() tells whether that worked. */
    static LocalFile openForReading(const CZelboString& path);
    /**
     * Creates a new, empty file with a name of its own in the folder of target (mode 0666 less the
     * umask), for writing a copy that replaces target only when it is complete.
     */
    static LocalFile createBeside(const CZelboString& target);

    LocalFile(LocalFile&& other) noexcept;
    LocalFile& operator=(LocalFile&& other) noexcept;
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;
    ~LocalFile();

    bool isOpen() const { return descriptor_ >= 0; }
    /**
     * text, followed by the system's reason for the last failure of this file ("Can't write
     * output file: No space left on device"), or alone when none is known.
     */
    CZelboString failureText(const char16_t* text) const;
    /** The size in bytes, or -1. */
    int64_t size() const;
    /** The modification time in nanoseconds since 1970 UTC, or 0. */
    int64_t modificationTime() const;
    /** Sets the modification time (nanoseconds since 1970 UTC); false when refused. */
    bool setModificationTime(int64_t nanoseconds);
    /** Bytes read, 0 at the end, -1 on failure; interrupted reads are retried. */
    int64_t read(void* buffer, size_t length);
    /** Writes all bytes; false on failure (a full disk, a removed drive). */
    bool writeAll(const void* bytes, size_t length);
    bool close();
    /**
     * Closes this file, made by createBeside, and renames it to target; with an earlier failure
     * of the copy, or when that fails, it is removed instead. The failure's text, empty once
     * target is the complete file.
     */
    CZelboString placeAs(const CZelboString& target, CZelboString failure = {});
    const std::string& path() const { return path_; }

private:
    LocalFile(int descriptor, std::string path, int error = 0)
        : descriptor_(descriptor), path_(std::move(path)), error_(error) {}

    int descriptor_ = -1;
    std::string path_;
    // The errno of the last failure, 0 when none.
    int error_ = 0;
};
