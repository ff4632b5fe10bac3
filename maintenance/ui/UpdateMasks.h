#pragma once

#include "catalog/Records.h"
#include "framework/Services.h"

class QWidget;

namespace quillet {

// The form of one pick-list mask (add, change or delete). The catalog must be open.
FormResult UpdateMasks(const Services& services, FormRequest request, Mask& record, QWidget* parent = nullptr);

}  // namespace quillet
