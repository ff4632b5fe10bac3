#pragma once

#include <QIcon>

namespace quillet {

// The console's own icons, drawn as shapes at whatever size and scale they are shown, so
// they stay sharp at 200 % and need no image files or image plug-ins.
enum class ConsoleIcon { NewProject, AddFile, Restore, Delete, Test, Find, Copy, Execute, Program };

QIcon consoleIcon(ConsoleIcon icon);

}  // namespace quillet
