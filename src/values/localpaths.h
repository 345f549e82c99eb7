#pragma once

#include "values/zelbostring.h"

namespace ZelboLib {
class NSArray;
}

/**
 * Helpers for local paths, which use the platform's separator, and for turning them into device
 * paths, which always use "/". On POSIX systems the backslash is an ordinary character of names.
 */

#if defined(_WIN32)
inline constexpr char16_t kLocalSeparator = u'\\';
#else
inline constexpr char16_t kLocalSeparator = u'/';
#endif

/** Local separators become "/", then "//" is collapsed until none is left. */
CZelboString toForwardSlashes(const CZelboString& path);
/** a + separator + b, with doubled separators (and "//") collapsed once, left to right. */
CZelboString joinLocalPath(const CZelboString& a, const CZelboString& b);
/** The text up to and including the last separator; the whole path when there is none. */
CZelboString parentOfLocalPath(const CZelboString& path);
/** The text after the last separator; the whole path when there is none. */
CZelboString fileNameOfLocalPath(const CZelboString& path);
/** The last name's text from its last "." on, dot included; "" when that name has no dot. */
CZelboString extensionOf(const CZelboString& path);

/**
 * Whether something exists at path (trailing separators ignored; links followed). isFolder is
 * set only when it exists.
 */
bool localPathExists(const CZelboString& path, bool& isFolder);
/**
 * Creates the folder at path and every missing ancestor, outermost first. A relative path is
 * taken from the current folder. True when the folder exists afterwards.
 */
bool createLocalFolders(const CZelboString& path);
/**
 * Appends to list (as CAutoString) the names matching path's last component, a wildcard pattern
 * ("*", "?", "[…]"), in path's folder, except "." and "..". True when the folder could be read and
 * the pattern matched at least one entry ("*" always matches "." and "..").
 */
bool listLocalFolder(const CZelboString& path, ZelboLib::NSArray& list);
