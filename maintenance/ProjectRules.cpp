#include "maintenance/ProjectRules.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <random>

#include "catalog/Catalog.h"
#include "maintenance/NormalizeMaskList.h"
#include "platform/FileSystem.h"
#include "platform/Utf8Text.h"
#include "platform/Wildcard.h"

namespace quillet {

namespace {

constexpr int kPrefixTries = 20;

bool isBlank(std::string_view s) {
    return s.find_first_not_of(" \t") == std::string_view::npos;
}

std::string trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t");
    return std::string(s.substr(first, last - first + 1));
}

bool unsafeInName(unsigned char c) {
    return c == ' ' || c == '/' || c == '\\' || c == '*' || c == '?' || c < 0x20 || c == 0x7F;
}

}  // namespace

LetterSource systemLetterSource() {
    auto engine = std::make_shared<std::mt19937>(std::random_device{}());
    return [engine]() { return std::uniform_int_distribution<int>(0, 25)(*engine); };
}

std::string NormalizePrefix(std::string_view prefix) {
    std::string out(utf8CutChars(prefix, PrefixWidth));
    std::size_t chars = utf8Length(out);
    // The field is four characters wide: what is not typed is blank, and blanks become "_".
    for (; chars < PrefixWidth; ++chars) out += ' ';
    for (char& c : out)
        if (unsafeInName(static_cast<unsigned char>(c))) c = '_';
    return upperCased(out);
}

std::string PrefixFromName(std::string_view name) {
    return NormalizePrefix(utf8CutChars(name, PrefixWidth));
}

std::string GeneratePrefix(const std::vector<std::string>& inUse, const LetterSource& letters) {
    std::vector<std::string> taken;
    taken.reserve(inUse.size());
    for (const std::string& p : inUse) taken.push_back(upperCased(p));
    std::sort(taken.begin(), taken.end());

    std::string candidate;
    for (int attempt = 0; attempt < kPrefixTries; ++attempt) {
        candidate.clear();
        for (std::size_t i = 0; i < PrefixWidth; ++i)
            candidate += static_cast<char>('A' + std::clamp(letters(), 0, 25));
        if (!std::binary_search(taken.begin(), taken.end(), candidate)) break;
    }
    return candidate;
}

Result<std::vector<std::string>> PrefixesInUse(Catalog& catalog) {
    ProjectStore projects = catalog.projects();
    if (Status s = projects.setKey(catalog::K_Prefix); !s) return Result<std::vector<std::string>>::failure(s.error());
    auto all = projects.all();
    if (!all) return Result<std::vector<std::string>>::failure(all.error());
    std::vector<std::string> prefixes;
    for (const Project& p : *all)
        if (!isBlank(p.PREFIX)) prefixes.push_back(p.PREFIX);
    std::sort(prefixes.begin(), prefixes.end());
    return prefixes;
}

std::string NormalizeFolderPath(std::string_view path) {
    std::string out = expandHome(trimmed(path));
    if (out.empty() || out.back() != '/') out += '/';
    return out;
}

bool SameFolder(std::string_view a, std::string_view b) {
    const auto settled = [](std::string_view path) {
        std::string folder = trimmed(path);
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        if (char* real = ::realpath(folder.c_str(), nullptr)) {
            folder = real;
            std::free(real);
        }
        return folder;
    };
    return settled(a) == settled(b);
}

std::optional<Project> ArchiveOwner(const std::vector<Project>& projects, std::int32_t exceptSysId,
                                    const std::string& folder, const std::string& archiveName) {
    for (const Project& p : projects) {
        if (p.SYSID == exceptSysId || p.FAVORITES == 1) continue;
        const std::string prefix(trimRight(p.PREFIX));
        if (prefix.empty() || archiveName.size() != prefix.size() + 8) continue;
        if (upperCased(archiveName.substr(0, prefix.size())) != upperCased(prefix)) continue;
        if (!matchesMask(std::string_view(archiveName).substr(prefix.size()), "????.lsp")) continue;
        if (SameFolder(p.DESTINATIONPATH, folder)) return p;
    }
    return std::nullopt;
}

Result<std::string> TypedPrefix(std::string_view typed, std::string_view name) {
    using R = Result<std::string>;
    if (isBlank(typed)) return PrefixFromName(trimmed(name));
    const std::string kept(trimRight(typed));
    if (utf8Length(kept) > PrefixWidth)
        return R::failure("The prefix \"" + kept + "\" has " + std::to_string(utf8Length(kept)) +
                          " characters; a prefix has at most " + std::to_string(PrefixWidth) + ".");
    return NormalizePrefix(kept);
}

Status CheckProject(Catalog& catalog, Project& project) {
    project.NAME = trimmed(project.NAME);
    if (project.NAME.empty()) return Status::failure("A project needs a name.");
    if (isBlank(project.DESTINATIONPATH)) return Status::failure("A project needs a destination folder.");
    project.DESTINATIONPATH = NormalizeFolderPath(project.DESTINATIONPATH);
    if (project.FAVORITES == 1) project.PREFIX.clear();

    // A favourites folder and a normal project never share a folder.
    auto all = catalog.projects().all();
    if (!all) return Status::failure(all.error());
    for (const Project& other : *all) {
        if (other.SYSID == project.SYSID || (other.FAVORITES == 1) == (project.FAVORITES == 1) ||
            !SameFolder(other.DESTINATIONPATH, project.DESTINATIONPATH))
            continue;
        const Project& normal = project.FAVORITES == 1 ? other : project;
        const Project& favourites = project.FAVORITES == 1 ? project : other;
        return Status::failure("The folder " + project.DESTINATIONPATH + " is the destination of the project " +
                               normal.NAME + " and cannot also be the favourites folder " + favourites.NAME +
                               ": deleting the favourites folder with its archives would delete that project's "
                               "backups.");
    }
    return validate(project);
}

namespace {

// The unique key's refusal, with the project that holds the prefix named after it.
std::string withPrefixHolder(Catalog& catalog, const Project& project, std::string message) {
    if (isBlank(project.PREFIX)) return message;
    auto holder = catalog.projects().byPrefix(project.PREFIX);
    if (holder && holder->has_value() && (*holder)->SYSID != project.SYSID)
        message += " It is the prefix of the project " + (*holder)->NAME + "; each project needs a prefix of its own.";
    return message;
}

}  // namespace

Result<Project> SaveProject(Catalog& catalog, Project project, bool adding) {
    using R = Result<Project>;
    if (Status s = CheckProject(catalog, project); !s) return R::failure(s.error());
    ProjectStore projects = catalog.projects();
    if (adding) {
        auto stored = projects.insert(project);
        if (!stored) return R::failure(withPrefixHolder(catalog, project, stored.error()));
        return stored;
    }
    if (Status s = projects.update(project); !s) return R::failure(withPrefixHolder(catalog, project, s.error()));
    return project;
}

Result<Project> AddProject(Catalog& catalog, const ProjectRequest& request, const LetterSource& letters) {
    using R = Result<Project>;
    ProjectStore projects = catalog.projects();
    auto primed = projects.prime();
    if (!primed) return R::failure(primed.error());
    Project project = *primed;

    project.NAME = trimmed(request.name);
    if (project.NAME.empty()) return R::failure("A project needs a name.");
    project.DESTINATIONPATH = request.destination;
    project.NOTES = request.notes;
    project.FAVORITES = request.favorites ? 1 : 0;

    if (request.favorites) {
        if (request.prefix && !isBlank(*request.prefix))
            return R::failure("A favourites folder has no prefix: its archives are copied in, never made there.");
    } else {
        project.MAXBACKUPS = request.maxBackups;
        if (!request.prefix) {
            auto inUse = PrefixesInUse(catalog);
            if (!inUse) return R::failure(inUse.error());
            project.PREFIX = GeneratePrefix(*inUse, letters);
        } else {
            auto prefix = TypedPrefix(*request.prefix, project.NAME);
            if (!prefix) return R::failure(prefix.error());
            project.PREFIX = *prefix;
        }
    }
    return SaveProject(catalog, project, true);
}

Status CheckComponent(Component& component) {
    if (isBlank(component.PATH)) return Status::failure("A component needs a folder.");
    component.PATH = NormalizeFolderPath(component.PATH);
    if (std::string problem = MaskListProblem(component.MASK, MaskTextWidth); !problem.empty())
        return Status::failure(problem);
    NormalizeMaskList(component.MASK, MaskTextWidth);
    if (component.MASK.find_first_not_of(", ") == std::string::npos)
        return Status::failure("A component needs at least one mask, such as *.doc or *.*.");
    return validate(component);
}

Result<Component> AddComponent(Catalog& catalog, std::int32_t projectSysId, std::string_view path,
                               std::string_view maskText, bool exclude, bool recurse) {
    using R = Result<Component>;
    Component component;
    component.PROSYSID = projectSysId;
    component.PATH = std::string(path);
    component.MASK = std::string(maskText);
    component.EXCLUDE = exclude ? 1 : 0;
    component.RECURSE = recurse ? 1 : 0;
    if (Status s = CheckComponent(component); !s) return R::failure(s.error());
    ComponentStore components = catalog.components();
    return components.insert(component);
}

Status RestoreComponents(Catalog& catalog, std::int32_t projectSysId, const std::vector<Component>& original) {
    return catalog.database().transaction([&]() -> Status {
        ComponentStore store = catalog.components();
        auto now = store.ofProject(projectSysId);
        if (!now) return Status::failure(now.error());
        for (const Component& c : *now)
            if (Status s = store.erase(c); !s) return s;
        for (Component c : original) {
            c.recordId = 0;
            if (auto added = store.insert(c); !added) return Status::failure(added.error());
        }
        return {};
    });
}

std::string CopyName(std::string_view sourceName) {
    const TableLayout& layout = projectLayout();
    const std::size_t width = layout.fields.at(static_cast<std::size_t>(layout.fieldIndex("NAME"))).width;
    return std::string(trimRight(utf8CutChars("Copy_" + trimmed(sourceName), width)));
}

Result<Project> CopyProjectWithComponents(Catalog& catalog, std::int32_t sourceSysId, std::string_view name,
                                          std::string_view prefix) {
    using R = Result<Project>;
    auto source = catalog.projects().bySysId(sourceSysId);
    if (!source) return R::failure(source.error());
    if (!source->has_value())
        return R::failure("The project to copy is no longer in " + std::string(catalog::ProjectFile) + ".");
    auto primed = catalog.projects().prime();
    if (!primed) return R::failure(primed.error());
    Project copy = *primed;
    copy.NAME = std::string(name);
    auto typed = TypedPrefix(prefix, name);
    if (!typed) return R::failure(typed.error());
    copy.PREFIX = *typed;
    copy.DESTINATIONPATH = (*source)->DESTINATIONPATH;
    copy.MAXBACKUPS = (*source)->MAXBACKUPS;
    copy.NOTES = (*source)->NOTES;

    // The components are read through their own handle, include rules first, before the
    // batch starts writing.
    auto components = catalog.components().ofProject(sourceSysId, catalog::K_Exclude);
    if (!components) return R::failure(components.error());

    BatchWrite batch(catalog.database());
    if (!batch.started()) return R::failure(batch.started().error());
    auto stored = SaveProject(catalog, copy, true);
    if (!stored) return stored;
    ComponentStore store = catalog.components();
    for (Component c : *components) {
        c.PROSYSID = stored->SYSID;
        c.recordId = 0;
        if (auto added = store.insert(c); !added) return R::failure(added.error());
    }
    if (Status s = batch.commit(); !s) return R::failure(s.error());
    return stored;
}

}  // namespace quillet
