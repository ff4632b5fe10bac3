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

Result<Project> AddProject(Catalog& catalog, const ProjectRequest& request, const LetterSource& letters) {
    using R = Result<Project>;
    ProjectStore projects = catalog.projects();
    auto primed = projects.prime();
    if (!primed) return R::failure(primed.error());
    Project project = *primed;

    project.NAME = trimmed(request.name);
    if (project.NAME.empty()) return R::failure("A project needs a name.");
    if (isBlank(request.destination)) return R::failure("A project needs a destination folder.");
    project.DESTINATIONPATH = NormalizeFolderPath(request.destination);
    project.NOTES = request.notes;
    project.FAVORITES = request.favorites ? 1 : 0;

    if (request.favorites) {
        if (request.prefix && !isBlank(*request.prefix))
            return R::failure("A favourites folder has no prefix: its archives are copied in, never made there.");
        project.PREFIX.clear();
    } else {
        project.MAXBACKUPS = request.maxBackups;
        if (!request.prefix) {
            auto inUse = PrefixesInUse(catalog);
            if (!inUse) return R::failure(inUse.error());
            project.PREFIX = GeneratePrefix(*inUse, letters);
        } else if (isBlank(*request.prefix)) {
            project.PREFIX = PrefixFromName(project.NAME);
        } else {
            const std::string typed(trimRight(*request.prefix));
            if (utf8Length(typed) > PrefixWidth)
                return R::failure("The prefix \"" + typed + "\" has " + std::to_string(utf8Length(typed)) +
                                  " characters; a prefix has at most " + std::to_string(PrefixWidth) + ".");
            project.PREFIX = NormalizePrefix(typed);
        }
        auto holder = projects.byPrefix(project.PREFIX);
        if (!holder) return R::failure(holder.error());
        if (holder->has_value())
            return R::failure("The prefix " + project.PREFIX + " is already used by the project " + (*holder)->NAME +
                              "; each project needs a prefix of its own.");
    }

    // A favourites folder and a normal project never share a folder.
    auto all = catalog.projects().all();
    if (!all) return R::failure(all.error());
    for (const Project& other : *all) {
        if ((other.FAVORITES == 1) == (project.FAVORITES == 1) ||
            !SameFolder(other.DESTINATIONPATH, project.DESTINATIONPATH))
            continue;
        const Project& normal = project.FAVORITES == 1 ? other : project;
        const Project& favourites = project.FAVORITES == 1 ? project : other;
        return R::failure("The folder " + project.DESTINATIONPATH + " is the destination of the project " +
                          normal.NAME + " and cannot also be the favourites folder " + favourites.NAME +
                          ": deleting the favourites folder with its archives would delete that project's backups.");
    }

    if (Status s = validate(project); !s) return R::failure(s.error());
    return projects.insert(project);
}

Result<Component> AddComponent(Catalog& catalog, std::int32_t projectSysId, std::string_view path,
                               std::string_view maskText, bool exclude, bool recurse) {
    using R = Result<Component>;
    if (isBlank(path)) return R::failure("A component needs a folder.");
    Component component;
    component.PROSYSID = projectSysId;
    component.PATH = NormalizeFolderPath(path);
    if (std::string problem = MaskListProblem(maskText, MaskTextWidth); !problem.empty()) return R::failure(problem);
    component.MASK = std::string(maskText);
    NormalizeMaskList(component.MASK, MaskTextWidth);
    if (component.MASK.find_first_not_of(", ") == std::string::npos)
        return R::failure("A component needs at least one mask, such as *.doc or *.*.");
    component.EXCLUDE = exclude ? 1 : 0;
    component.RECURSE = recurse ? 1 : 0;
    if (Status s = validate(component); !s) return R::failure(s.error());
    ComponentStore components = catalog.components();
    return components.insert(component);
}

}  // namespace quillet
