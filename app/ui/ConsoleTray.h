#pragma once

namespace quillet {

class Main;
struct Services;

// Gives the console its notification-area icon: Esc and minimising send the console there,
// the icon's menu backs up a recent project, opens the console or ends the program, the
// reminder runs between commands, and a session end closes the console without asking.
// The icon belongs to the window.
void AttachTray(Main& console, const Services& services);

}  // namespace quillet
