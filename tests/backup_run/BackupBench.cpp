#include "BackupBench.h"

#include <cstdio>
#include <memory>

namespace quillet::test {

std::vector<std::string> unzipNames(const std::string& archive) {
    std::vector<std::string> names;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(("zipinfo -1 '" + archive + "' 2>/dev/null").c_str(), "r"),
                                               ::pclose);
    if (!pipe) return names;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe.get())) {
        std::string s(line);
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
        names.push_back(s);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace quillet::test
