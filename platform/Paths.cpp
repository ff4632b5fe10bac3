#include "platform/Paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/Folders.h"

#ifndef QUILLET_DATA_DIR
#define QUILLET_DATA_DIR "/usr/share/quillet"
#endif
#ifndef QUILLET_DOCS_DIR
#define QUILLET_DOCS_DIR "/usr/share/doc/quillet"
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
    p.installData = withSlash(QUILLET_DATA_DIR);
    p.manualFolder = withSlash(QUILLET_DOCS_DIR);
    return p;
}

Paths Paths::fromEnvironment() {
    if (const char* q = std::getenv("QUILLET_HOME"); q && *q) return inFolder(q);
    Paths p;
    const std::string home = homeFolder();
    p.configFolder = withSlash(envOr("XDG_CONFIG_HOME", home + "/.config")) + "quillet/";
    p.dataFolder = withSlash(envOr("XDG_DATA_HOME", home + "/.local/share")) + "quillet/";
    p.programFolder = p.dataFolder;
    p.installData = withSlash(QUILLET_DATA_DIR);
    p.manualFolder = withSlash(QUILLET_DOCS_DIR);
    return p;
}

bool ensureFolder(const std::string& folder) {
    return makeFolders(folder) == 0;
}

}  // namespace quillet
