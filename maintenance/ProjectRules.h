#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/Records.h"
#include "platform/Result.h"

namespace quillet {

class Catalog;

// The rules of the project and component forms that are not about windows, shared by the
// forms and the command line.

// A prefix has this many characters; archives are named prefix + "0001.LSP".
inline constexpr std::size_t PrefixWidth = 4;

// Gives a random number from 0 to 25 (one capital letter A-Z) per call.
using LetterSource = std::function<int()>;
// Uniform letters from a generator seeded by the system.
LetterSource systemLetterSource();

// The prefix as the form accepts it: cut to four characters and padded to four with
// blanks, every blank made "_", letters in capitals ("ab" gives "AB__"). Characters that
// would change what the archive name means - '/', the wildcards '*' and '?', '\' and
// control characters - become "_" as well: a prefix such as "A*" would make the listing
// of one project's archives (prefix + "????.LSP") find, rotate and delete those of others.
std::string NormalizePrefix(std::string_view prefix);

// The prefix a blank prefix takes from the project's name: its first four characters,
// normalised ("my project" gives "MY_P").
std::string PrefixFromName(std::string_view name);

// The prefix offered to a new project: up to 20 candidates of four random capitals, the
// first one not in inUse (compared without regard to case); the last candidate when all
// twenty are taken (saving then refuses it as a duplicate).
std::string GeneratePrefix(const std::vector<std::string>& inUse, const LetterSource& letters);

// Every project's prefix, in ascending order (blank ones left out).
Result<std::vector<std::string>> PrefixesInUse(Catalog& catalog);

// A destination or component folder as the forms keep it: a leading "~" expanded to the
// home folder and a trailing "/" added when missing. Other paths stay as typed.
std::string NormalizeFolderPath(std::string_view path);

// Whether two destination folders are one folder: compared after their links are
// resolved when both exist, else as written (trailing "/" and blanks aside).
bool SameFolder(std::string_view a, std::string_view b);

// The other project (normal, not a favourites folder) that has its archives in folder and
// whose prefix makes archiveName one of them ("DOCS0003.LSP" for DOCS), if any: deleting
// the archives of a project or favourites folder there must leave it alone.
std::optional<Project> ArchiveOwner(const std::vector<Project>& projects, std::int32_t exceptSysId,
                                    const std::string& folder, const std::string& archiveName);

// The prefix a user typed, as the form accepts it: blank takes the first four characters of
// name; more than four characters is refused (never cut); otherwise NormalizePrefix.
Result<std::string> TypedPrefix(std::string_view typed, std::string_view name);

// Checks a project before it is stored and completes it the way it is kept: the name
// trimmed and not blank, the destination not blank and normalised with
// NormalizeFolderPath, every field within its width, and no favourites folder sharing a
// folder with a normal project (deleting the favourites folder with its archives would
// take the project's backups with it).
Status CheckProject(Catalog& catalog, Project& project);

// Stores a checked project: inserted when adding (a SYSID of 0 is numbered, a primed one
// kept), else updated. A duplicate non-blank prefix is refused by the unique key with the
// record engine's message, followed by the name of the project that holds the prefix.
Result<Project> SaveProject(Catalog& catalog, Project project, bool adding);

// A project to add, as the project form or the command line collects it.
struct ProjectRequest {
    std::string name;
    // Nothing: a generated prefix. Blank: the first four characters of the name.
    std::optional<std::string> prefix;
    std::string destination;  // normalised with NormalizeFolderPath
    std::uint8_t maxBackups = 20;
    std::string notes;
    bool favorites = false;  // a favourites folder keeps a blank prefix
};

// Adds a project with the form's rules: prefix generated or normalised, destination with
// its trailing "/", fields within their widths, a duplicate non-blank prefix refused with
// the name of the project that holds it. A favourites folder in a normal project's
// destination (or a normal project in a favourites folder) is refused: deleting the
// favourites folder with its archives would take the project's backups with it. Returns
// the stored record.
Result<Project> AddProject(Catalog& catalog, const ProjectRequest& request, const LetterSource& letters);

// Checks a component before it is stored and completes it the way it is kept: the folder
// not blank and normalised as above, the mask text refused when MaskListProblem finds
// fault with it (nothing is cut), else normalised with NormalizeMaskList, and a mask text
// without any mask refused.
Status CheckComponent(Component& component);

// A copy of project sourceSysId under a new name and prefix, with the source's destination,
// maximum and notes and a copy of each of its components; everything is written in one
// batch with one flush at the end, so a failure stores nothing. Returns the new project.
Result<Project> CopyProjectWithComponents(Catalog& catalog, std::int32_t sourceSysId, std::string_view name,
                                          std::string_view prefix);

// The name a copy of a project is offered: "Copy_" + the source's name, within the name's
// width.
std::string CopyName(std::string_view sourceName);

// Puts a project's components back as they were (original, read before a form changed
// them), in one transaction: what a cancelled project form leaves behind.
Status RestoreComponents(Catalog& catalog, std::int32_t projectSysId, const std::vector<Component>& original);

// Adds a component to the project with the component form's rules: the folder normalised
// as above and the mask text with NormalizeMaskList. A mask text without any mask is
// refused. Returns the stored record.
Result<Component> AddComponent(Catalog& catalog, std::int32_t projectSysId, std::string_view path,
                               std::string_view maskText, bool exclude, bool recurse);

}  // namespace quillet
