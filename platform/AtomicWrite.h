#pragma once

#include <string>
#include <string_view>

#include "platform/Result.h"

namespace quillet {

// Writes content to path through a temporary file in the same folder that is flushed to
// disk and renamed into place, so a reader (or a crash) sees either the old or the new
// file, never a part of one. Missing folders on the way are created. An existing file
// keeps its permission bits; a link to a file is followed and its target replaced.
Status writeFileAtomically(const std::string& path, std::string_view content);

// A name beside path that no other writer in this or another process picks at the same
// moment, for a file that is renamed into place when complete.
std::string temporaryNameFor(const std::string& path);

// Removes what writeFileAtomically left beside path in a process that died before its
// rename: "<name>.tmp-<pid>-<n>" files (only those, regular files only) of processes that
// no longer run. A living writer's file is left alone.
void removeLeftoverTemporaries(const std::string& path);

// "<what>: <strerror(err)>: <path>" — the one shape of every platform error message.
std::string systemErrorText(const std::string& what, const std::string& path, int err);

}  // namespace quillet
