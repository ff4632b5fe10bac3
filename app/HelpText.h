#pragma once

#include <string>

#include "platform/Paths.h"

namespace quillet {

inline constexpr const char* kVersionText = "Quillet v1.5.04";

// The text of --help: every flag, and the files Quillet keeps and where they are.
std::string helpText(const Paths& paths);

}  // namespace quillet
