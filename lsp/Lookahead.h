#pragma once

// Files the host said it will pack next, read and compressed ahead on a second thread
// while the writer writes. The packer takes a file's result only when the file is
// still as it was read (device, inode, size, modification and change time); anything
// else is packed afresh, so the look-ahead never changes what an archive holds.

#include <sys/stat.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace lsp {

// One file read and compressed ahead.
struct PreparedFile {
    std::vector<unsigned char> data;  // the deflate stream, or the file itself when it did not shrink
    bool deflated = false;
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
};

// The files to prepare, absolute paths in packing order. The list points at the host's own
// names (which stay as they are until the look-ahead ends); a name the library had to
// make absolute is kept in owned.
struct AheadList {
    std::vector<const char*> paths;
    std::deque<std::string> owned;  // a deque: adding a name moves none of the others
};

// Replaces the list of files to prepare at level (1-9; 0 ends the look-ahead). Returns at
// once: the work goes on in the background.
void lookaheadStart(AheadList files, int level);
// Ends the look-ahead and frees what it holds.
void lookaheadStop();
// The prepared data of file when it was prepared at level from the file st describes;
// false when it is not there (then pack it as usual). While the file is being prepared
// by the background thread, the caller helps with the next small files instead of
// waiting idle. Files the host passed over on the list are dropped.
bool lookaheadTake(const std::string& file, int level, const struct stat& st, PreparedFile& out);

}  // namespace lsp
