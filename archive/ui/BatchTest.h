#pragma once

#include <string>

#include "framework/Services.h"

class QWidget;

namespace quillet {

// Tests the marked items of the archive listed in services.archive, in its own window.
// The title names projectName, or when it is blank the project whose prefix begins the
// archive's file name.
void BatchTest(const Services& services, QWidget* parent = nullptr, const std::string& projectName = {});

}  // namespace quillet
