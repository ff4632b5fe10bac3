#include "TestEnvironment.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace quillet::test {

namespace {
std::string g_home;

void removeHome() {
    std::error_code ec;
    if (!g_home.empty()) std::filesystem::remove_all(g_home, ec);
}
}  // namespace

void prepareTestEnvironment() {
    std::string base = std::filesystem::temp_directory_path().string() + "/quillet-test-XXXXXX";
    if (char* made = ::mkdtemp(base.data())) g_home = made;
    ::setenv("QUILLET_HOME", g_home.c_str(), 1);
    // Project timers go to $XDG_CONFIG_HOME/systemd/user: never the user's own.
    ::setenv("XDG_CONFIG_HOME", (g_home + "/config").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::atexit(removeHome);
}

}  // namespace quillet::test
