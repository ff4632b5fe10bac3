#pragma once

#include <string>

#include "catalog/Records.h"
#include "framework/Services.h"

class QWidget;

namespace quillet {

// The component form on record (add, change or delete). On add, record.PROSYSID names the
// project; with copy true the new component starts as a copy of record's folder, masks and
// flags. On completion record holds what was stored.
FormResult UpdateComps(const Services& services, FormRequest request, Component& record, bool copy = false,
                       QWidget* parent = nullptr);

// The folder of the component most recently edited or selected, for the whole run: a new
// component starts with it.
std::string& LastComponentFolder();

}  // namespace quillet
