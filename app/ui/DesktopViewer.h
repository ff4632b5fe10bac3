#pragma once

#include "app/ConsoleState.h"

namespace quillet {

// Opens extracted files with the desktop's associated program (xdg-open through
// QDesktopServices), and in a plain-text editor ($VISUAL, $EDITOR or the desktop's).
FileViewer desktopFileViewer();

}  // namespace quillet
