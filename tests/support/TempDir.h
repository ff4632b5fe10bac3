#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillet::test {

// A fresh folder under the temporary folder, removed with everything in it when the
// object goes. path() has no trailing '/'.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + relative
    std::string file(std::string_view relative) const;
    // Writes a file (creating its folders) and returns its full path.
    std::string write(std::string_view relative, std::string_view content) const;
    // Creates a folder (and its parents) and returns its full path.
    std::string mkdir(std::string_view relative) const;

private:
    std::string path_;
};

std::string readFile(const std::string& path);
// Runs a shell command and returns its exit status (-1 when it could not run).
int runCommand(const std::string& command);
// Deterministic pseudo-random bytes, for incompressible test data.
std::string randomBytes(std::size_t size, std::uint32_t seed = 1);

}  // namespace quillet::test
