#pragma once

#include <cstdint>
#include <span>

/** What checkBinaryPlist found. */
enum class BinaryPlistCheck { Acceptable, Malformed, TooDeep, TooLarge };

/**
 * Checks a binary property list ("bplist00") before libplist's parser sees it: that parser
 * recurses once per level of nesting, so a list nested deeply enough overflows the stack, and it
 * copies an object once for every reference to it, so a few shared references can make it build
 * an exponential tree. The walk here keeps its path in memory, visits each object once, and
 * takes time and memory linear in the list's size.
 *
 * Malformed where libplist 2.2 refuses the table too: a trailer or offset table out of range, an
 * object offset or a container's references past the offset table, a reference to no object, a
 * container that contains itself. TooDeep when containers nest more than maxDepth levels (a
 * plain value counts as a level, so the root alone is 1 deep). TooLarge when the tree libplist
 * would build has more than maxNodes nodes (a dictionary's keys count).
 */
BinaryPlistCheck checkBinaryPlist(std::span<const uint8_t> bytes, int maxDepth, uint64_t maxNodes);

/** Whether libplist's plist_from_memory reads these bytes as a binary property list. */
bool isBinaryPlist(std::span<const uint8_t> bytes);
