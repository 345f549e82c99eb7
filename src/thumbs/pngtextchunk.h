#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

/**
 * International text chunks ("iTXt", uncompressed UTF-8) in PNG files, for data that must travel
 * with an image and be found again without decoding it.
 */

/**
 * png with an iTXt chunk of keyword (1 to 79 Latin-1 characters) and text placed right after its
 * header chunk; nothing when png does not start with a PNG signature and header chunk.
 */
std::optional<std::vector<uint8_t>> withTextChunk(std::span<const uint8_t> png,
                                                  std::string_view keyword, std::string_view text);

/**
 * The text of the first uncompressed iTXt chunk of keyword; nothing when there is none or the file
 * is not a well-formed PNG up to that chunk (a chunk running past the end, a wrong checksum).
 */
std::optional<std::string> findTextChunk(std::span<const uint8_t> png, std::string_view keyword);
