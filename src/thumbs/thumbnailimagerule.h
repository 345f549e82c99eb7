#pragma once

#include "values/zelbostring.h"

/**
 * Whether a device file gets a thumbnail, judged by its name alone: its extension, in any case,
 * is ".png", ".jpg", ".jpeg", ".bmp", ".heic", ".heif" or a video's ".mov", ".mp4" or ".m4v", or
 * the name is exactly "iTunesArtwork" (an app's artwork, which has no extension), with or without
 * a leading "/". Callers never ask about folders.
 */
bool wantsThumbnail(const CZelboString& pathComponent);

/**
 * The inspector's rule, judged by a file's device path: an image extension as above, or the path
 * "/iTunesArtwork" itself (an app container's artwork), not a file of that name deeper down.
 */
bool inspectorWantsThumbnail(const CZelboString& fullPath);
