#pragma once

#include "values/zelbostring.h"

/**
 * Device paths always use "/". Names from the device are taken verbatim: a backslash is an
 * ordinary character of a device name, so turning it into "/" would address another item.
 */

/** Collapses every "//" into "/" until none is left; nothing else changes. */
CZelboString collapseDoubleSlashes(const CZelboString& path);
/** folder + "/" + name, with doubled separators collapsed. */
CZelboString joinDevicePath(const CZelboString& folder, const CZelboString& name);
/** The folder holding path: "/" for a top-level entry and for "/" itself. */
CZelboString parentOfDevicePath(const CZelboString& path);
/**
 * Where a link in folder points: an absolute target as it is, a relative one taken from folder.
 * Empty when target is empty.
 */
CZelboString resolveLinkTarget(const CZelboString& folder, const CZelboString& target);
