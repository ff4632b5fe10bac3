#pragma once

#include <string>
#include <vector>

namespace quillet::test {

// What one run of the program gave.
struct CliResult {
    int status = -1;  // exit status; -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs the real quillet program with arguments, with QUILLET_HOME set to home and the
// working folder set to folder, no display and nothing on standard input.
CliResult runQuillet(const std::string& home, const std::string& folder, const std::vector<std::string>& arguments);

// The lines of a text, without their line ends.
std::vector<std::string> lines(const std::string& text);
// The tab-separated fields of one line.
std::vector<std::string> fields(const std::string& line);

}  // namespace quillet::test
