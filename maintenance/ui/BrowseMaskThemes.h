#pragma once

#include <optional>

#include "catalog/Records.h"
#include "framework/Services.h"

class QWidget;

namespace quillet {

enum class ThemeListMode { Browse, Select };

// The list of mask themes. In select mode it returns the chosen theme (nothing when cancelled);
// in browse mode it returns nothing.
std::optional<MaskTheme> BrowseMaskThemes(const Services& services, ThemeListMode mode, QWidget* parent = nullptr);

}  // namespace quillet
