#pragma once

#include "framework/Services.h"

class QWidget;

namespace quillet {

// The "New Project" choice: 0 = cancelled, 1 = normal project, 2 = favourites folder.
int ChooseProjectType(const Services& services, QWidget* parent = nullptr);

}  // namespace quillet
