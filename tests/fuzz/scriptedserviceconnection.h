#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

/**
 * What the ServiceConnection of libplovik-usbmux's AFC code receives when linked with
 * scriptedserviceconnection.cpp in place of the real stream: the given bytes, at most piece
 * bytes a receive, then the end of the stream. Sends are taken whole and dropped.
 */
void scriptServiceStream(std::span<const uint8_t> bytes, size_t piece);
