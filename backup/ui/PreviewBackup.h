#pragma once

#include <cstdint>

#include "framework/Services.h"

class QWidget;

namespace quillet {

// The "Backup Preview" window: the files a backup of project sysId would contain.
void PreviewBackup(const Services& services, std::int32_t sysId, QWidget* parent = nullptr);

}  // namespace quillet
