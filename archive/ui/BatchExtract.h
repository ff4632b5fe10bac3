#pragma once

#include "framework/Services.h"

class QWidget;

namespace quillet {

// Restores the marked items of the archive listed in services.archive, in its own window.
void BatchExtract(const Services& services, QWidget* parent = nullptr);

}  // namespace quillet
