#pragma once

#include <string>
#include <utility>

namespace quillet {

// INI text file access with the private-profile rules: sections and keys are matched
// without regard to case, every read takes a default (returned when the file, section or
// key is absent), every write goes straight to the file (written to a temporary name and
// renamed into place), and all other lines of the file are kept as they were. Section
// and key names up to 64 characters, values up to 1024 characters.
class IniFile {
public:
    explicit IniFile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    std::string read(const std::string& section, const std::string& key, const std::string& defaultValue) const;
    // false when the file cannot be written (the reason goes to lastError()).
    bool write(const std::string& section, const std::string& key, const std::string& value);
    // Remove one key, or a whole section with its keys; removing what is absent succeeds.
    bool remove(const std::string& section, const std::string& key);
    bool removeSection(const std::string& section);
    const std::string& lastError() const { return lastError_; }

private:
    bool rewrite(const std::string& section, const std::string* key, const std::string* value);

    std::string path_;
    std::string lastError_;
};

}  // namespace quillet
