#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Result.h"

namespace quillet {

// LSC: the archive comment record, the whole content of the comment file
// "LSPComments.inb" that travels inside every archive. Its layout is fixed because
// archives outlive program versions:
//   0   4     DATECREATED    little-endian signed 32-bit day number
//   4   4     TIMECREATED    little-endian signed 32-bit hundredths + 1
//   8   4     ORIGINALSIZE   always 0
//   12  4     NUMBEROFFILES  always 0
//   16  1000  NOTES          text, space-padded, no terminator
// NOTES holds UTF-8; a note longer than 1000 bytes is cut before the character that does
// not fit whole, so the field never ends in half a character.
struct ArchiveCommentRecord {
    std::int32_t DATECREATED = 0;
    std::int32_t TIMECREATED = 0;
    std::string NOTES;  // without trailing spaces
};

namespace archive_comment {
inline constexpr std::string_view FileName = "LSPComments.inb";
inline constexpr std::size_t RecordSize = 1016;
inline constexpr std::size_t NotesOffset = 16;
inline constexpr std::size_t NotesWidth = 1000;
}  // namespace archive_comment

// The record's 1016 bytes.
std::string encodeArchiveComment(const ArchiveCommentRecord& record);

// Reads the record at the start of bytes (which must hold at least 1016). Notes that are
// not UTF-8 (comments written with a single-byte character set) are read as Latin-1.
Result<ArchiveCommentRecord> decodeArchiveComment(std::string_view bytes);

// The comment file: exactly one record, written through a temporary file and renamed
// into place.
Status writeArchiveCommentFile(const std::string& path, const ArchiveCommentRecord& record);
Result<ArchiveCommentRecord> readArchiveCommentFile(const std::string& path);

}  // namespace quillet
