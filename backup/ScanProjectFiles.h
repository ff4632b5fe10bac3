#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "backup/BackupFileList.h"
#include "catalog/Records.h"

namespace quillet {

class Catalog;
class Dialogs;
class FileSystem;
class RunHost;

// Status-line texts of the scan. The include pass reads the same for every caller; the
// exclude pass names its work in the caller's words.
namespace scantext {
inline constexpr std::string_view ScanningDirectories = "Scanning Directories:";
inline constexpr std::string_view BuildingFileList = "Building File List:";
inline constexpr std::string_view PurgingExcluded = "Purging Excluded:";           // backup run
inline constexpr std::string_view PurgingExcludeFiles = "Purging Exclude Files:";  // preview
}  // namespace scantext

enum class ScanOutcome {
    Completed,
    Cancelled,     // the user confirmed stopping; the list holds what was found so far
    PathNotFound,  // the list holds the single PathNotFoundEntry
    CatalogError,  // the components could not be read; the message has been shown
};

// A folder the scan could not enter or list, and why ("Permission denied").
struct SkippedFolder {
    std::string folder;
    std::string reason;
};
using SkippedFolders = std::vector<SkippedFolder>;

// What the scan works with: the file system (its virtual current folder is moved
// through every scanned folder), the message seam, and the window (or console) hosting
// the run: status line, folder line, Cancel button and event pumping.
//
// With skipped, a folder that exists but cannot be entered or listed (a subfolder of mode
// 000, one that vanished after the walk, an unreadable component folder) is added there
// once and left out, and the scan goes on; only a component folder that does not exist
// stops it. Without, any such folder stops the scan, so that no caller loses files
// unnoticed.
struct ScanServices {
    FileSystem& fs;
    Dialogs& dialogs;
    RunHost& host;
    SkippedFolders* skipped = nullptr;
};

// One folder to scan for a component.
struct DirectoryEntry {
    std::string DIRNAME;
    std::uint8_t MARK = 0;
};
using DirectoryList = std::vector<DirectoryEntry>;

// Every folder below folder (not folder itself), depth first, in ascending upper-case
// path order. Folders whose names end in ".ZIP" (any case) are not entered; links to
// folders are not followed (the listing reports them as system entries), so a link loop
// cannot trap the walk. True on success; on failure target is empty and the message has
// been shown. The current folder is restored after a successful walk.
bool recurse(ScanServices& services, const std::string& folder, DirectoryList& target);

// The scan as an engine, for a window that drives it from its timer: every step() does
// one unit of work - one folder listed by the walk of a recursive component, or one mask
// applied in one folder - and then looks at the host's Cancel (after a mask it also lets
// the host pump its events, as the one-call scan does), so the window never waits longer
// than one folder listing. The folders, files, messages and outcome are exactly those of
// ScanProjectFiles, which runs one of these to its end.
class ProjectScan {
public:
    // Components already read, in K_Exclude order (include rules, then exclude rules).
    ProjectScan(ScanServices& services, std::vector<Component> components, std::string_view excludePassStatus);
    // The project's components, read from the catalog in K_Exclude order; when they cannot
    // be read the message is shown and the scan has ended with CatalogError.
    ProjectScan(ScanServices& services, Catalog& catalog, std::int32_t projectSysId,
                std::string_view excludePassStatus);
    ~ProjectScan();
    ProjectScan(const ProjectScan&) = delete;
    ProjectScan& operator=(const ProjectScan&) = delete;

    // One unit of work; false once the scan has ended (then outcome() says how).
    bool step();
    bool finished() const;
    ScanOutcome outcome() const;
    // Files selected so far.
    std::size_t filesFound() const;
    // The list once the scan has ended: in SORTNAME order when completed, what was found
    // so far when cancelled, the single PathNotFoundEntry when a folder was not found.
    BackupFileList takeFiles();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The files a backup of the project would hold: include components first, each folder
// and mask listed once, then the exclude components remove exact path matches; the
// result is in SORTNAME order. Components are read in K_Exclude order.
ScanOutcome ScanProjectFiles(ScanServices& services, Catalog& catalog, std::int32_t projectSysId, BackupFileList& list,
                             std::string_view excludePassStatus);

// The same over components already read, in K_Exclude order (include rules, then
// exclude rules); components of other projects are not filtered out here.
ScanOutcome ScanProjectFiles(ScanServices& services, const std::vector<Component>& components, BackupFileList& list,
                             std::string_view excludePassStatus);

}  // namespace quillet
