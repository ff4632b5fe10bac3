#include "platform/Paths.h"

#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/Folders.h"

// The build tree's copies (scripts/run, the tests) and, relative to the program's own
// folder, the installed ones (bin/../share/quillet/), so an installed tree can be moved or
// unpacked under another prefix and still finds its sounds and manual.
#ifndef QUILLET_DATA_DIR
#define QUILLET_DATA_DIR "/usr/share/quillet"
#endif
#ifndef QUILLET_DOCS_DIR
#define QUILLET_DOCS_DIR "/usr/share/quillet/manual"
#endif
#ifndef QUILLET_INSTALLED_DATA
#define QUILLET_INSTALLED_DATA "../share/quillet"
#endif
#ifndef QUILLET_INSTALLED_MANUAL
#define QUILLET_INSTALLED_MANUAL "../share/quillet/manual"
#endif

namespace quillet {

namespace {
std::string withSlash(std::string s) {
    if (s.empty() || s.back() != '/') s += '/';
    return s;
}

std::string envOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return (v && *v) ? std::string(v) : fallback;
}

// The folder of the running program, "" when the kernel does not say.
std::string programFolder() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) return {};
    std::string path(buffer, static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/') + 1);
}

// The installed folder beside the program when there is one, else the build tree's.
std::string installedOr(const char* relative, const char* buildTree) {
    if (std::string folder = programFolder(); !folder.empty()) {
        // "../" climbs out of the program's folder, so the path reads /usr/share/..., not
        // /usr/bin/../share/...
        std::string rest = relative;
        while (rest.rfind("../", 0) == 0 && folder.size() > 1) {
            folder.pop_back();
            folder.erase(folder.rfind('/') + 1);
            rest.erase(0, 3);
        }
        const std::string installed = folder + rest;
        struct stat st {};
        if (::stat(installed.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return withSlash(installed);
    }
    return withSlash(buildTree);
}
}  // namespace

std::string homeFolder() {
    if (const char* h = std::getenv("HOME"); h && *h) return h;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

Paths Paths::inFolder(const std::string& home) {
    Paths p;
    p.configFolder = withSlash(home);
    p.dataFolder = p.configFolder;
    p.programFolder = p.configFolder;
    p.installData = installedOr(QUILLET_INSTALLED_DATA, QUILLET_DATA_DIR);
    p.manualFolder = installedOr(QUILLET_INSTALLED_MANUAL, QUILLET_DOCS_DIR);
    return p;
}

Paths Paths::fromEnvironment() {
    if (const char* q = std::getenv("QUILLET_HOME"); q && *q) return inFolder(q);
    Paths p;
    const std::string home = homeFolder();
    p.configFolder = withSlash(envOr("XDG_CONFIG_HOME", home + "/.config")) + "quillet/";
    p.dataFolder = withSlash(envOr("XDG_DATA_HOME", home + "/.local/share")) + "quillet/";
    p.programFolder = p.dataFolder;
    p.installData = installedOr(QUILLET_INSTALLED_DATA, QUILLET_DATA_DIR);
    p.manualFolder = installedOr(QUILLET_INSTALLED_MANUAL, QUILLET_DOCS_DIR);
    return p;
}

bool ensureFolder(const std::string& folder) {
    return makeFolders(folder) == 0;
}

}  // namespace quillet
