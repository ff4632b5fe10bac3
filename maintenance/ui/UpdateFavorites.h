#pragma once

#include "catalog/Records.h"
#include "framework/Services.h"

class QWidget;

namespace quillet {

// The favourites-folder form on record (add, change or delete).
FormResult UpdateFavorites(const Services& services, FormRequest request, Project& record, QWidget* parent = nullptr);

}  // namespace quillet
