#pragma once

#include <functional>

#include "values/zelbostring.h"

/**
 * The file-type text of the list's "File Type" column for a device path, looked up by name only.
 * The windows give the platform's descriptions; the core has a stable one of its own.
 */
using FileTypeDescriber = std::function<CZelboString(const CZelboString& path, bool isFolder)>;

/** "File Folder" for folders; "JPG File" for "a.jpg" (the extension in upper case); else "File". */
CZelboString describeFileTypeByExtension(const CZelboString& path, bool isFolder);
