#pragma once

#include <cstdint>
#include <string>

#include "archive/lspclass.h"
#include "catalog/ArchiveCommentRecord.h"
#include "framework/Clock.h"

namespace quillet {

// The comment item "LSPComments.inb" that every archive carries (one 1016-byte record,
// catalog/ArchiveCommentRecord.h). Its working copy lives in the program folder
// (Paths::programFolder), the one place shared by writing, extracting and reading.

// The heading every comment text starts with.
inline constexpr const char* CommentHeading = "Comments:\r\n\r\n";

// Writes the comment file (today's date and time from the clock, the project's notes)
// into programFolder and packs it into the archive named by ARCHIVE_NAME with method 2
// and pack flags 0x2C, then completes the library's batch so the archive on disk holds
// the item. The working copy stays behind. Returns the status of the pack call, which
// callers need not examine: a comment that could not be added only reads back as the
// bare heading. When the comment file cannot be written the reason is shown and the
// archive is left alone (status 26).
std::int16_t WriteArchiveComment(lspclass& archive, const std::string& programFolder, const std::string& notes,
                                 const Clock& clock);

// The comment text of the archive named by ARCHIVE_NAME: CommentHeading followed by its
// notes, or the heading alone when the archive has no readable comment item. Sets
// ITEM_NAME to the comment item and PATH_INFO to empty. The working copy in
// programFolder is deleted before extracting and again afterwards. Never fails the caller.
std::string ReadArchiveComment(lspclass& archive, const std::string& programFolder);

// The comment record of the archive named by ARCHIVE_NAME, for editing: the record its
// comment item holds, or a blank one when it has none or the item cannot be read. Sets
// ITEM_NAME and PATH_INFO as ReadArchiveComment does and leaves no working copy behind.
ArchiveCommentRecord ReadArchiveCommentRecord(lspclass& archive, const std::string& programFolder);

// Replaces the comment item of the archive named by ARCHIVE_NAME with record (an archive
// without one gets its first): the working copy is written in programFolder, packed with
// method 2 and pack flags 4 (update), then deleted. The library rewrites the archive
// through a temporary file renamed over it, so an interruption at any moment leaves the
// old or the new archive. Holds the lock of the archive's folder meanwhile. Every failure
// is shown (a folder in use, a missing archive, the library's error text) and leaves the
// archive as it was; returns the status, 0 when the comment is stored.
std::int16_t ReplaceArchiveComment(lspclass& archive, const std::string& programFolder,
                                   const ArchiveCommentRecord& record);

}  // namespace quillet
