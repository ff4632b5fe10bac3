#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "framework/Clock.h"
#include "platform/Result.h"

namespace quillet {

class Catalog;
class Dialogs;

// The rules of the housekeeping windows (comment edit, copy, rename) that are not about
// windows. Every change of a file in a folder holds that folder's lock meanwhile.

// name with ".lsp" appended unless it contains ".LSP" in any case ("Keep" gives
// "Keep.lsp", "a.LsP.old" stays).
std::string WithLspExtension(std::string_view name);

// folder + '/' + name, the '/' left out when folder ends with one.
std::string JoinPath(std::string_view folder, std::string_view name);

// What "&Date/Time" makes of the notes: the notes without trailing blanks, a line break
// ("\r\n"), then the date and time of now in the short formats (framework/Picture.h).
std::string NotesWithDateTime(std::string_view notes, const DateTime& now);

// ---- Copy File to New Destination ----

// One row of the favourites list: the folder's location followed by the file name, and
// the folder's name.
struct FavoriteTarget {
    std::string destination;
    std::string name;
};

// The favourites folders (projects with FAVORITES = 1) in name order, each as the place
// fileName would be copied to there.
Result<std::vector<FavoriteTarget>> FavoriteTargets(Catalog& catalog, const std::string& fileName);

// The file an entry names: a leading "~" expanded, a relative name taken in sourceFolder
// (beside the archive being copied), ".lsp" appended as WithLspExtension does. "" for a
// blank entry.
std::string CopyTargetPath(std::string_view entry, const std::string& sourceFolder);

// Copies source to target, replacing a target that exists (the caller has asked): the
// copy is written under a temporary name beside the target, synced, and renamed into
// place, so the target is never half written and the source never touched. A failure is
// shown (the folder in use, the system's reason) and leaves any earlier target as it was.
bool CopyArchiveFile(Dialogs& dialogs, const std::string& source, const std::string& target);

// ---- Rename File ----

inline constexpr const char* RenameErrorTitle = "Rename Error";

// The classic error numbers the rename messages give.
namespace rename_error {
inline constexpr int FileNotFound = 2;
inline constexpr int PathNotFound = 3;
inline constexpr int AccessDenied = 5;
inline constexpr int NotSameDevice = 17;
inline constexpr int FileExists = 80;
inline constexpr int InvalidName = 123;
}  // namespace rename_error

// The classic number of a system error (errno).
int RenameErrorNumber(int systemError);

// The archive's path as the rename takes it: ".lsp" appended to the file name unless it
// has ".LSP" already.
std::string RenameSourcePath(const std::string& archivePath);
// The new path: the entry, with ".lsp" unless it has ".LSP", in the folder of the archive.
std::string RenameTargetPath(const std::string& archivePath, std::string_view entry);

// Renames the archive (RenameSourcePath of archivePath) to the name entered
// (RenameTargetPath), in its folder. Never replaces: a new path that exists (a file, a
// folder or a link) is refused before anything is renamed. A blank entry, or one with a
// '/' (which would move the archive out of its folder), is refused as an invalid name.
// Failures are shown with the "Rename Error" texts (or the folder-in-use message); the file
// keeps its old name. True when renamed; false also when the name does not change.
bool RenameArchiveFile(Dialogs& dialogs, const std::string& archivePath, std::string_view entry);

}  // namespace quillet
