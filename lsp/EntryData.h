#pragma once

// The data of one archive item: where it lies, and decoding it with its checks.

#include <cstdint>
#include <functional>

#include "lsp/Shared.h"
#include "lsp/ZipFormat.h"

namespace lsp {

// Checks the local header of e (signature, name, bounds) and gives the offset where its
// packed data starts. dataLimit is where item data must end (the central directory).
std::int16_t locateData(int fd, std::uint64_t dataLimit, const ZipEntry& e, std::uint64_t& dataStart);

// Receives decoded bytes; returns 0 or a status that stops decoding.
using Sink = std::function<std::int16_t(const unsigned char* data, std::size_t size)>;

// Decodes item e into sink, checking that the data decodes, that its size is the recorded
// one (never more is produced) and its CRC-32. Statuses: 4, 8, 9, 31, 35, 36, 38, -30.
std::int16_t decodeEntry(int fd, std::uint64_t dataLimit, const ZipEntry& e, const Sink& sink, Progress& progress);

}  // namespace lsp
