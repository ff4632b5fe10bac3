#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/Services.h"

class QWidget;

namespace quillet {

// The copy form: adds a new project copied from the project sourceSysId, with its components.
FormResult CopyProject(const Services& services, std::int32_t sourceSysId,
                       const std::vector<std::string>& prefixesInUse, QWidget* parent = nullptr);

}  // namespace quillet
