#pragma once

#include "framework/Services.h"

class QWidget;

namespace quillet {

// Tests the marked items of the archive listed in services.archive, in its own window.
void BatchTest(const Services& services, QWidget* parent = nullptr);

}  // namespace quillet
