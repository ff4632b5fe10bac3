#pragma once

#include "framework/Services.h"

class QWidget;

namespace quillet {

// The list of masks, with insert, change and delete through the mask form.
void BrowseMasks(const Services& services, QWidget* parent = nullptr);

}  // namespace quillet
