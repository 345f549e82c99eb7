#pragma once

#include <QTemporaryDir>
#include <filesystem>

#include "scopedenvironment.h"

/** The user's cache folder (XDG_CACHE_HOME) in a temporary folder for a scope. */
class TemporaryCacheHome {
public:
    TemporaryCacheHome() : setting_("XDG_CACHE_HOME", folder_.path().toStdString()) {}

    /** Where the thumbnail cache keeps its entries. */
    std::filesystem::path thumbnailFolder() const {
        return std::filesystem::path(folder_.path().toStdString()) / "Orvane/Plovik/zelbocache";
    }

private:
    QTemporaryDir folder_;
    ScopedEnvironment setting_;
};
