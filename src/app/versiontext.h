#pragma once

#include <string>

/**
 * The short version shown to users: major and minor joined by a point, the build number run on
 * ("%d.%d%d"): 4.1.0 gives "4.10".
 */
std::string versionText(int major, int minor, int build);

/** The program's version, dotted in full ("0.1.0"), for comparing with published releases. */
std::string programVersion();
/** versionText of the program's version. */
std::string programVersionText();
