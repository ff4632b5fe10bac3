#include "backup/RotateArchives.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "backup/ReadBackArchive.h"
#include "framework/Dialogs.h"
#include "platform/AtomicWrite.h"
#include "platform/CrashPoint.h"
#include "platform/EventsThrough.h"
#include "platform/Folders.h"
#include "platform/Utf8Text.h"

namespace quillet {

namespace {

int percentOf(std::size_t done, std::size_t total) {
    return total == 0 ? 0 : static_cast<int>(done * 100 / total);
}

// Which file a name held when the plan was made: a rename keeps all of this, so a step is
// still to do exactly when its file is still under the step's old name.
struct Identity {
    unsigned long long inode = 0;  // 0: there was no such file
    long long size = 0, seconds = 0, nanoseconds = 0;
    bool operator==(const Identity&) const = default;
};

Identity identityOf(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return {};
    return {static_cast<unsigned long long>(st.st_ino), static_cast<long long>(st.st_size),
            static_cast<long long>(st.st_mtim.tv_sec), static_cast<long long>(st.st_mtim.tv_nsec)};
}

struct Step {
    bool remove = false;  // a surplus archive to delete; otherwise a rename from -> to
    std::string from, to;
    Identity identity;
    // The rotation itself: the list entry the step renames and the bar after it (-1: none).
    std::ptrdiff_t listIndex = -1;
    int bar = -1;
};

constexpr const char* PlanHeading = "Quillet rotation plan 1";

std::string planText(const std::vector<Step>& steps) {
    std::ostringstream out;
    out << PlanHeading << '\n';
    for (const Step& s : steps) {
        const Identity& i = s.identity;
        out << (s.remove ? 'D' : 'R') << '\t' << i.inode << '\t' << i.size << '\t' << i.seconds << '\t' << i.nanoseconds
            << '\t' << s.from;
        if (!s.remove) out << '\t' << s.to;
        out << '\n';
    }
    return out.str();
}

std::optional<std::vector<Step>> parsePlan(std::istream& in) {
    std::string line;
    if (!std::getline(in, line) || line != PlanHeading) return std::nullopt;
    std::vector<Step> steps;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            fields.push_back(line.substr(start, tab - start));
        fields.push_back(line.substr(start));
        Step s;
        s.remove = fields[0] == "D";
        if ((!s.remove && fields[0] != "R") || fields.size() != (s.remove ? 6u : 7u)) return std::nullopt;
        try {
            s.identity = {std::stoull(fields[1]), std::stoll(fields[2]), std::stoll(fields[3]), std::stoll(fields[4])};
        } catch (const std::exception&) {
            return std::nullopt;
        }
        s.from = fields[5];
        if (!s.remove) s.to = fields[6];
        // Only names inside the folder: a plan never reaches outside it.
        for (const std::string* name : {&s.from, &s.to})
            if (name->find('/') != std::string::npos || *name == "." || *name == "..") return std::nullopt;
        if (s.from.empty() || (!s.remove && s.to.empty())) return std::nullopt;
        steps.push_back(std::move(s));
    }
    return steps;
}

bool writePlan(const std::string& folder, const std::vector<Step>& steps) {
    for (const Step& s : steps)
        if ((s.from + s.to).find_first_of("\t\n") != std::string::npos) return false;
    return writeFileAtomically(folder + RotationPlanName, planText(steps)).ok();
}

void removePlan(const std::string& folder) {
    syncFolder(folder);  // every rename is on disk before the plan goes
    crashPoint(CrashPoint::RotationSynced);
    ::unlink((folder + RotationPlanName).c_str());
    syncFolder(folder);
    crashPoint(CrashPoint::RotationPlanRemoved);
}

// Carries the steps out in order; the first rename that fails is reported and ends them.
// Resuming (onlyWhereFound) passes over every step whose file is no longer under its old
// name: it was done before the interruption. done(step) follows each step carried out.
bool runSteps(Dialogs* dialogs, const std::string& folder, const std::vector<Step>& steps, bool onlyWhereFound,
              const std::function<void(const Step&)>& done) {
    for (const Step& s : steps) {
        const std::string from = folder + s.from;
        if (onlyWhereFound && (s.from == s.to || s.identity.inode == 0 || identityOf(from) != s.identity)) continue;
        if (s.remove) {
            // A failed delete is passed over; its file keeps its name and no rename replaces it.
            (void)::unlink(from.c_str());
            crashPoint(CrashPoint::RotationDeleted);
        } else if (s.from != s.to) {
            const std::string to = folder + s.to;
            if (const int err = renameWithoutReplacing(from, to); err != 0) {
                syncFolder(folder);  // renames and deletes so far must survive a power loss too
                if (dialogs) ReportRenameError(*dialogs, err, from, to);
                return false;
            }
            crashPoint(CrashPoint::RotationRenamed);
        }
        if (done) done(s);
    }
    return true;
}

}  // namespace

std::string archiveFileName(const std::string& prefix, int number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04d", number);
    return std::string(trimRight(prefix)) + digits + ".LSP";
}

int renameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the flag: look first, then rename.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void ReportRenameError(Dialogs& dialogs, int error, const std::string& oldPath, const std::string& newPath) {
    std::string text;
    switch (error) {
        case ENOENT:
            text = "Error! - File Not Found|" + oldPath + " " + newPath;
            break;
        case EACCES:
        case EPERM:
            text = "Error! - Access Denied|" + oldPath + " " + newPath;
            break;
        case EXDEV:
            text = "Error! - Not Same Device|" + oldPath + "|" + newPath;
            break;
        default:
            text = "Error - Renaming " + std::to_string(error) + "|" + oldPath + "|" + newPath;
            break;
    }
    dialogs.message(text, "Rename Error", Icon::Exclamation, buttons::Ok, 1);
}

RotationOutcome RotateArchives(const FileSystem& fs, Dialogs& dialogs, const RotationRequest& request, BackupList& list,
                               const std::function<void(int)>& bar, const std::function<bool()>& check,
                               const std::function<void()>& pump) {
    auto showBar = [&](int percent) {
        if (bar) bar(percent);
    };
    const std::string dest(trimRight(request.destination));
    const std::string folder = dest.empty() || dest.back() == '/' ? dest : dest + "/";
    const std::string prefix(trimRight(request.prefix));
    RotationOutcome outcome;

    // The whole rotation is planned first. Surplus archives go first, the oldest at the end
    // of the list.
    std::vector<Step> steps;
    if (request.maxBackups != 0 && request.keepOlder) {
        outcome.keptOverMaximum =
            std::max<std::int64_t>(0, static_cast<std::int64_t>(list.size()) + 1 - request.maxBackups);
    } else if (request.maxBackups != 0) {
        while (static_cast<int>(list.size()) + 1 > request.maxBackups) {
            steps.push_back({true, list.back().name, {}, identityOf(folder + list.back().name)});
            list.pop_back();
        }
    }
    // Two passes: every archive first to 1002 and up, then to its final number, so that no
    // rename meets an archive still to be moved. An archive already at its number (left by
    // an interrupted earlier run) stays.
    const std::size_t n = list.size();
    std::vector<Identity> identities(n);
    for (std::size_t i = n; i >= 1; --i) {
        identities[i - 1] = identityOf(folder + list[i - 1].name);
        steps.push_back({false, list[i - 1].name, archiveFileName(prefix, static_cast<int>(i) + 1001),
                         identities[i - 1], static_cast<std::ptrdiff_t>(i - 1), percentOf(n - i + 1, 2 * n)});
    }
    for (std::size_t i = n; i >= 1; --i)
        steps.push_back({false, archiveFileName(prefix, static_cast<int>(i) + 1001),
                         archiveFileName(prefix, static_cast<int>(i) + 1), identities[i - 1],
                         static_cast<std::ptrdiff_t>(i - 1), percentOf(n - i + 1, 2 * n) + 50});
    steps.push_back(
        {false, TemporaryArchiveName, archiveFileName(prefix, 1), identityOf(folder + TemporaryArchiveName)});

    // Without a plan (a folder that takes no new file) the rotation still runs; it just
    // cannot be resumed.
    bool planned = false;
    runLettingEventsThrough([&] { planned = writePlan(folder, steps); }, pump);
    if (planned) crashPoint(CrashPoint::RotationPlanWritten);
    if (check && !check()) {
        // The archive first: a plan without its archive is only removed by the next run.
        (void)::unlink((folder + TemporaryArchiveName).c_str());
        if (planned) runLettingEventsThrough([&] { removePlan(folder); }, pump);
        outcome.checkFailed = true;
        return outcome;
    }
    showBar(0);
    const bool completed = runSteps(&dialogs, folder, steps, false, [&](const Step& s) {
        if (s.listIndex >= 0) {
            list[static_cast<std::size_t>(s.listIndex)].name = s.to;
            list[static_cast<std::size_t>(s.listIndex)].shortName = s.to;
        }
        if (s.bar >= 0) showBar(s.bar);
        if (pump) pump();
    });
    // A failed rename leaves the plan: the next run finishes what can be finished.
    if (!completed) return outcome;
    runLettingEventsThrough(
        [&] {
            if (planned)
                removePlan(folder);
            else
                syncFolder(folder);
        },
        pump);

    outcome.completed = true;
    outcome.finalPath = folder + archiveFileName(prefix, 1);
    if (auto entry = fs.entry(outcome.finalPath)) outcome.compressedBytes = entry->size;
    showBar(-1);
    return outcome;
}

RecoveryOutcome CompleteInterruptedRotation(Dialogs* dialogs, const std::string& destination) {
    std::string folder(trimRight(destination));
    if (!folder.empty() && folder.back() != '/') folder.push_back('/');
    const std::string path = folder + RotationPlanName;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT) return RecoveryOutcome::NothingToDo;

    std::ifstream in(path, std::ios::binary);
    const auto steps = S_ISREG(st.st_mode) && st.st_size < (1 << 20) && in ? parsePlan(in) : std::nullopt;
    if (!steps || steps->empty() || steps->back().from != TemporaryArchiveName) {
        if (dialogs)
            dialogs->message("The plan of an interrupted renumbering of backups, " + path +
                                 ", cannot be read.|Nothing has been changed. Put the archives in order (the newest "
                                 "as 0001) and remove the file, then run the backup again.",
                             "Rename Error", Icon::Exclamation, buttons::Ok, 1);
        return RecoveryOutcome::Failed;
    }
    // The new archive is renamed last: once it is no longer where the plan found it, either
    // every step is done or its run found it unsound and removed it before the plan.
    const Step& newest = steps->back();
    const std::string newestPath = folder + newest.from;
    if (newest.identity.inode == 0 || identityOf(newestPath) != newest.identity) {
        removePlan(folder);
        return RecoveryOutcome::Completed;
    }
    // Its run may have died before or during its read-back check.
    const ArchiveReadBack found = readBackArchive(newestPath);
    if (!found.whole || !found.comment) {
        const Step& first = steps->front();
        if (&first == &newest || identityOf(folder + first.from) == first.identity) {
            // Nothing has moved yet: the older archives are as they were.
            (void)::unlink(newestPath.c_str());
            removePlan(folder);
            return RecoveryOutcome::Completed;
        }
        if (dialogs)
            dialogs->message("The new backup " + newestPath +
                                 " of an interrupted renumbering of backups cannot be read back" +
                                 (found.why.empty() ? std::string(".") : ":|" + found.why) +
                                 "||Nothing more has been changed. Put the archives in order (the newest as 0001) "
                                 "and remove " +
                                 path + ", then run the backup again.",
                             "Rename Error", Icon::Exclamation, buttons::Ok, 1);
        return RecoveryOutcome::Failed;
    }
    if (!runSteps(dialogs, folder, *steps, true, {})) return RecoveryOutcome::Failed;
    removePlan(folder);
    return RecoveryOutcome::Completed;
}

}  // namespace quillet
