#pragma once

#include <cstddef>
#include <string>

#include "framework/Services.h"

class QWidget;

namespace quillet {

// The mask builder: edits the comma list text (at most width characters) in place; true when
// the user chose OK, false (text unchanged) when cancelled.
bool BuildMasks(const Services& services, std::string& text, std::size_t width, QWidget* parent = nullptr);

}  // namespace quillet
