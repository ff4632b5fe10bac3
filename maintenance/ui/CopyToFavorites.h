#pragma once

#include <string>

#include "framework/Services.h"

class QWidget;

namespace quillet {

// Copies the archive file folder + fileName to a folder the user chooses.
void CopyToFavorites(const Services& services, const std::string& folder, const std::string& fileName,
                     QWidget* parent = nullptr);

}  // namespace quillet
