#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Result.h"

namespace quillet {

// Attribute bits of a listed entry, with their classic values.
namespace attrib {
constexpr std::uint8_t ReadOnly = 0x01;   // the owner has no write permission
constexpr std::uint8_t Hidden = 0x02;     // never set: Linux has no hidden attribute (dot-names are ordinary)
constexpr std::uint8_t System = 0x04;     // neither a regular file nor a folder, or a link to a folder
constexpr std::uint8_t Directory = 0x10;  // a folder (never a link to one)
constexpr std::uint8_t Archive = 0x20;    // a regular file
}  // namespace attrib

// One entry of a folder listing.
struct DirEntry {
    std::string name;
    std::string shortName;    // the same as name: there are no 8.3 names here
    std::int32_t date = 0;    // day number of the last write, local time (DateCodes.h)
    std::int32_t time = 0;    // hundredths number of the last write, local time
    std::int64_t size = 0;    // bytes; 0 for folders
    std::uint8_t attrib = 0;  // attrib:: bits
};

// When a file was last written, as the stored numbers and as the exact clock value.
struct FileStamp {
    std::int32_t date = 0;
    std::int32_t time = 0;
    std::int64_t seconds = 0;  // since the epoch
    std::int64_t nanoseconds = 0;
};

enum class DriveType : int { Unknown = 0, NoRoot = 1, Removable = 2, Fixed = 3, Remote = 4 };

// The file-system services of the program. Holds a *virtual* current folder: the
// process's own working folder is never changed, and every relative path given to a
// member is taken relative to currentFolder(). Errors come back as values whose text
// names the system's reason and the path.
class FileSystem {
public:
    // Starts in the process's working folder.
    FileSystem();
    explicit FileSystem(std::string currentFolder);

    // Full path without a trailing '/', except "/" itself.
    const std::string& currentFolder() const { return current_; }
    // Succeeds when the folder exists and may be entered.
    Status setCurrentFolder(const std::string& folder);
    // The absolute, lexically normalised form of a path ("." and ".." resolved, no
    // doubled or trailing '/'); a leading "~" is not expanded here (see expandHome).
    std::string absolutePath(const std::string& path) const;

    // Entries of a folder whose names match the mask (Wildcard.h), in the order the file
    // system gives them, without "." and "..". Normal entries (names beginning with "."
    // among them) are always listed; an entry with the system or directory bit only when
    // `wanted` shares one of those bits with it (the classic find-first filter). A blank
    // mask lists nothing.
    Result<std::vector<DirEntry>> list(const std::string& folder, const std::string& mask, std::uint8_t wanted) const;
    // The same with folder and mask in one pattern ("/backups/ABCD????.LSP"; a bare
    // mask lists the current folder).
    Result<std::vector<DirEntry>> list(const std::string& pattern, std::uint8_t wanted) const;
    // The entry of one path, as a listing of its folder would give it.
    Result<DirEntry> entry(const std::string& path) const;

    // One folder; fails when it exists or its parent does not.
    Status createFolder(const std::string& folder) const;
    // The folder and any missing parents; succeeds when it exists already.
    Status createFolders(const std::string& folder) const;
    // Renames or moves a file or folder; refuses when the target exists. A file moves
    // across file systems by copy and delete.
    Status move(const std::string& from, const std::string& to) const;
    // Renames within one file system, never replacing: 0, or the system's error number
    // (EEXIST when the target exists, EXDEV across file systems).
    int renameNoReplace(const std::string& from, const std::string& to) const;
    // Deletes a file (not a folder).
    Status removeFile(const std::string& path) const;
    // Removes an empty folder.
    Status removeFolder(const std::string& path) const;
    // Copies a file's contents through a temporary file renamed into place; the copy
    // keeps the modification time and permission bits. With failIfExists an existing
    // target is refused, otherwise replaced.
    Status copyFile(const std::string& from, const std::string& to, bool failIfExists = false) const;

    bool fileExists(const std::string& path) const;    // a regular file (links followed)
    bool folderExists(const std::string& path) const;  // a folder (links followed)
    Result<std::int64_t> fileSize(const std::string& path) const;
    Result<FileStamp> modificationTime(const std::string& path) const;
    // Sets the modification time (and access time) of a file.
    Status setModificationTime(const std::string& path, std::int64_t seconds, std::int64_t nanoseconds = 0) const;

    // Bytes the user may still write on the file system holding the path.
    Result<std::int64_t> freeSpace(const std::string& path) const;
    // Answers freeSpace() in place of the file system (a test's nearly full disk).
    void setFreeSpaceProbe(std::function<Result<std::int64_t>(const std::string& path)> probe) {
        freeSpaceProbe_ = std::move(probe);
    }
    // What kind of disk holds the path, from the current mount table.
    DriveType driveType(const std::string& path) const;
    // The folder where the file system holding the path is mounted ("/media/usb").
    std::string mountFolder(const std::string& path) const;

private:
    std::string current_;
    std::function<Result<std::int64_t>(const std::string& path)> freeSpaceProbe_;
};

// One line of a mount table, with its escapes (\040 for a blank) decoded.
struct MountEntry {
    std::string device;
    std::string folder;
    std::string type;
};

// A mount table read from /proc/self/mounts style text; the drive-type rules work on
// it. sysRoot is where /sys is (tests point it elsewhere).
class MountTable {
public:
    static MountTable parse(const std::string& text, std::string sysRoot = "/sys");
    static MountTable current();

    const std::vector<MountEntry>& entries() const { return entries_; }
    // The mount holding an absolute path (the longest mount folder that contains it;
    // the later line wins a tie, as a later mount covers an earlier one); null when none.
    const MountEntry* mountOf(const std::string& absolutePath) const;
    // Network file systems are remote; mounts below /media, /run/media or /mnt and
    // removable block devices are removable; everything else is fixed.
    DriveType driveType(const std::string& absolutePath) const;

private:
    bool removableDevice(const std::string& device) const;

    std::vector<MountEntry> entries_;
    std::string sysRoot_;
};

// $TMPDIR, else /tmp, with a trailing '/'.
std::string tempFolder();

// A leading "~" (alone or before '/') becomes the home folder; other paths stay as given.
std::string expandHome(const std::string& path);

}  // namespace quillet
