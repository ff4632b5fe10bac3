#pragma once

#include <string>

#include "framework/Services.h"

class QWidget;

namespace quillet {

// Renames the archive file archivePath (its full path); true when it was renamed.
bool RenameDialog(const Services& services, const std::string& archivePath, QWidget* parent = nullptr);

}  // namespace quillet
