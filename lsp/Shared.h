#pragma once

// State and helpers shared by the packing and the unpacking library: the one lock, the
// host callbacks, the hand-over of an open batch, progress reporting and paths.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "lsp/lsp.h"

namespace lsp {

// Serialises every entry point of both libraries (the batch is shared state).
std::recursive_mutex& libraryLock();

// Held by every entry point. A call made from inside a host callback of a call in
// progress (the host pumping its events) finds the library busy and is refused.
class EntryGuard {
public:
    EntryGuard();
    ~EntryGuard();
    EntryGuard(const EntryGuard&) = delete;
    EntryGuard& operator=(const EntryGuard&) = delete;
    bool reentered() const { return reentered_; }

private:
    std::unique_lock<std::recursive_mutex> lock_;
    bool reentered_;
};

// Callbacks given to LSP_PINIT_MP (packing) and LSP_UINIT_MP (unpacking).
LSP_HOST& packHost();
LSP_HOST& unpackHost();

// The packing library installs this when it opens a batch so that unpack-side calls can
// complete it first. Completes the batch when it writes `archive` (or any batch when
// archive is null) and returns its status; 0 when no such batch is open.
using BatchCompleter = std::int16_t (*)(const std::string* archive);
void setBatchCompleter(BatchCompleter completer);
std::int16_t completeBatch(const std::string* archive);

// Progress of one item through the host: percent, event pump and stop requests, at
// least every 1% or 64 KiB. Inactive without the pump flag or a host.
class Progress {
public:
    Progress(const LSP_HOST& host, bool enabled, std::uint64_t total);
    // done bytes of total; LSP_CANCELLED when the host asks to stop.
    std::int16_t at(std::uint64_t done);
    void finish();

private:
    const LSP_HOST& host_;
    bool enabled_;
    std::uint64_t total_;
    std::uint64_t lastBytes_ = 0;
    int lastPercent_ = -1;
};

// Asks a Yes/No/Cancel question through the host; LSP_ANSWER_NO when it cannot be asked.
int askHost(const LSP_HOST& host, bool quiet, const std::string& question, const std::string& title);

// An absolute, lexically normalised path ("." and ".." resolved, no trailing "/" except
// for the root). Relative paths are taken from the process's working folder.
std::string absolutePath(std::string_view path);

// Status of a failed write: disk full (20) or any other write failure (28).
std::int16_t writeFailure(int err);

// fsync(fd) that lets the host's events through while the disk works (it can take seconds
// for a large new archive): the sync runs on a helper thread, the caller's thread pumps.
// 0 or the errno of the failed sync.
int syncLettingEventsThrough(int fd, const LSP_HOST& host);
// The same for a folder's entries (quillet::syncFolder): best effort, nothing returned.
void syncFolderLettingEventsThrough(const std::string& folder, const LSP_HOST& host);
// The host's event pump as a function; empty when it has none.
std::function<void()> hostPump(const LSP_HOST& host);

// Copies at most 254 characters of text and the NUL into a C buffer (nothing for a null buffer).
void fillBuffer(char* buffer, std::string_view text);

}  // namespace lsp
