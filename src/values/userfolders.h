#pragma once

#include <filesystem>
#include <optional>

/**
 * The folder of this user's own files of the program (the log, the thumbnail cache, crash
 * reports): per user, never the shared temporary folder. $XDG_CACHE_HOME/Orvane/Plovik, or
 * ~/.cache/Orvane/Plovik when XDG_CACHE_HOME is unset or not absolute. Nothing when no home
 * folder can be found. The folder is not created; see createPrivateFolder.
 */
std::optional<std::filesystem::path> userCacheFolder();

/**
 * The folder of this user's lasting data of the program (the transfer history), where the window
 * keeps it too: $XDG_DATA_HOME/Orvane/Plovik, or ~/.local/share/Orvane/Plovik when XDG_DATA_HOME
 * is unset or not absolute. Nothing when no home folder can be found. Not created.
 */
std::optional<std::filesystem::path> userDataFolder();

/**
 * Creates folder and its missing ancestors, each new one accessible to this user only (0700).
 * True when folder is afterwards a folder owned by this user and not a link; false when it cannot
 * be created or something else stands in its place.
 */
bool createPrivateFolder(const std::filesystem::path& folder);
