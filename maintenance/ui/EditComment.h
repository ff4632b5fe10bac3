#pragma once

#include "framework/Services.h"

class QWidget;

namespace quillet {

// Edits and stores the comment of the archive named in services.archive.
FormResult EditComment(const Services& services, QWidget* parent = nullptr);

}  // namespace quillet
