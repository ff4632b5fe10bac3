// Writes the man page and the bash completion of the program, from its own help texts and
// command table; run by the build.
// Usage: quillet_reference MAN_PAGE COMPLETION MANUAL_FOLDER COMPLETION_FUNCTIONS
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "app/reference/Reference.h"
#include "platform/Paths.h"

namespace {

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fputs("usage: quillet_reference MAN_PAGE COMPLETION MANUAL_FOLDER COMPLETION_FUNCTIONS\n", stderr);
        return 2;
    }
    std::ifstream in(argv[4], std::ios::binary);
    std::ostringstream functions;
    functions << in.rdbuf();
    if (!in) {
        std::perror(argv[4]);
        return 1;
    }
    // The page describes an ordinary install, not the environment of the build.
    ::unsetenv("QUILLET_HOME");
    quillet::Paths paths;
    paths.configFolder = "~/.config/quillet/";
    paths.dataFolder = "~/.local/share/quillet/";
    paths.programFolder = paths.dataFolder;
    paths.manualFolder = std::string(argv[3]) + "/";
    paths.installData = paths.manualFolder;
    if (!writeFile(argv[1], quillet::manPage(paths)) || !writeFile(argv[2], quillet::bashCompletion(functions.str()))) {
        std::perror("quillet_reference");
        return 1;
    }
    return 0;
}
