#pragma once

#include <string>

namespace quillet {

// The lock file a run keeps in a destination folder while it changes files there.
inline constexpr const char* FolderLockName = "QLTLock.___";

// How long a second run waits for a folder in use before it gives up.
inline constexpr int FolderLockWaitMilliseconds = 3000;

// One writer at a time per folder, between processes: an advisory flock on the lock file
// in the folder, held while the object lives. The file names its holder (a project) for the
// message of whoever waits; it is removed on release, and a lock of a process that died is
// released by the kernel. The same process taking a folder it holds again just nests.
class FolderLock {
public:
    enum class State {
        Held,        // this object holds the folder (or nests in a lock the process holds)
        Busy,        // another process held it for the whole wait; holder() names it
        Unlockable,  // no lock file can be made there (a missing or read-only folder)
    };

    // Waits up to waitMilliseconds for the lock; a termination signal ends the wait early.
    FolderLock(const std::string& folder, const std::string& holder, int waitMilliseconds = FolderLockWaitMilliseconds);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    State state() const { return state_; }
    // Busy: the holder the lock file names ("" when it names none).
    const std::string& holder() const { return holder_; }
    // Unlockable: the system's reason (ENOENT, EACCES, EROFS, ENOLCK, ...).
    int error() const { return error_; }

private:
    State state_ = State::Unlockable;
    std::string key_;  // the folder's identity while held
    std::string holder_;
    int error_ = 0;
};

// The folder a file is in ("." for a bare name), for the lock of a change to that file.
std::string folderOfFile(const std::string& path);

// "The destination folder ... is in use by Quillet for the project "holder"..." for a Busy lock.
std::string folderInUseText(const std::string& folder, const std::string& holder);
inline constexpr const char* FolderInUseTitle = "Destination In Use";

}  // namespace quillet
