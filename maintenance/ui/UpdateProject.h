#pragma once

#include <string>
#include <vector>

#include "catalog/Records.h"
#include "framework/Services.h"

class QWidget;

namespace quillet {

// The project form on record (add, change or delete). prefixesInUse: every project's prefix,
// sorted, refilled by the console before an add.
FormResult UpdateProject(const Services& services, FormRequest request, Project& record,
                         const std::vector<std::string>& prefixesInUse, QWidget* parent = nullptr);

}  // namespace quillet
