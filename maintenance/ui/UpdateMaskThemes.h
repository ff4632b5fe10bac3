#pragma once

#include "catalog/Records.h"
#include "framework/Services.h"

class QWidget;

namespace quillet {

// The form of one mask theme (add, change or delete). The catalog must be open.
FormResult UpdateMaskThemes(const Services& services, FormRequest request, MaskTheme& record,
                            QWidget* parent = nullptr);

}  // namespace quillet
