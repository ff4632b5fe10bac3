#pragma once

#include <string>

namespace quillet {

struct Paths;

// The reference texts an install carries, made from the same texts as --help and
// 'quillet help COMMAND', so they cannot tell a different story. paths: the folders the
// installed program uses (its manual), printed in the FILES section.
std::string manPage(const Paths& paths);
// A bash completion script for the commands, their options and the project names.
// functions: the part of the script that does not depend on the table.
std::string bashCompletion(const std::string& functions);

}  // namespace quillet
