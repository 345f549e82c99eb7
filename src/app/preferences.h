#pragma once

#include <cstdint>

#include <QString>

/**
 * The user's settings, stored at once under QSettings("Orvane", "Plovik") (the registry key
 * "Software\Orvane\Plovik" on Windows, ~/.config/Orvane/Plovik.conf on Linux). Every call opens
 * and closes the store; nothing is cached. A value that is missing, unreadable or not an integer
 * in 0..4294967295 reads as its default; failed writes are silent. GUI thread only.
 */
class Preferences {
public:
    /** The on/off settings, each defaulting to on but ConvertHeicToJpeg. */
    enum class Switch {
        ShowFileInspector,    // show the inspector beside the file list
        WorkInSafeMode,       // "Retrieve iOS Apps under safe mode."; stored only
        CheckUpdates,         // "Check for updates automatically."; stored only
        ShowTransferMessage,  // tell the user when a download has finished
        GenerateThumbnail,    // make thumbnails of image files
        ConvertHeicToJpeg,    // downloads write HEIC photos as JPEGs; off by default
    };

    /** The view-style code that is read when none is stored (Details). */
    static constexpr std::uint32_t kDefaultViewStyle = 1;

    /** The stored value's name ("ShowFileInspector", …). */
    static QString valueName(Switch setting);

    static bool readSwitch(Switch setting);
    static void writeSwitch(Switch setting, bool on);

    /**
     * Whether deleting in the camera roll of the device with this identifier warns about the
     * phone's photo library first; on unless the user asked not to be asked again.
     */
    static bool readPhotoDeleteWarning(const QString& deviceIdentifier);
    static void writePhotoDeleteWarning(const QString& deviceIdentifier, bool on);

    /** The file list's sort column (-1: none, the device's order) and direction. */
    struct SortOrder {
        int column = -1;
        bool ascending = true;
    };
    static SortOrder readSortOrder();
    static void writeSortOrder(SortOrder order);

    /** The local folder the file choosers showed last; empty when none is kept or it is gone. */
    static QString readLastLocalFolder();
    static void writeLastLocalFolder(const QString& folder);

    /** The stored view-style code, unchanged: the file list decides what an unknown code shows. */
    static std::uint32_t readViewStyle();
    static void writeViewStyle(std::uint32_t code);
};
