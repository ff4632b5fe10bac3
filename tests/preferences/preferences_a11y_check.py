#!/usr/bin/python3
"""Drives File > Preferences of a fresh console through the desktop's accessibility
interface: the dialog and its five pages, every control named, "Remind Every" set to 15
and OK writes [Reminder] Interval=15, and Cancel after changing the compression leaves
LSPprefs.ini byte-identical.

Run under an X server with an accessibility bus, for example:
  xvfb-run -a dbus-run-session -- bash -c '/usr/libexec/at-spi-bus-launcher --launch-immediately &
      sleep 1; QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 /usr/bin/python3 tests/preferences/preferences_a11y_check.py build/quillet'
Exit status 0 when every check passed.
"""
import os
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import Atspi

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "console_ui"))
from screen_reader import check, walk, wait_for, application, named, press, summary  # noqa: E402


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


def open_preferences(app, frame):
    press(named(frame, "Preferences", pyatspi.ROLE_MENU_ITEM))
    return wait_for(lambda: next((n for n in walk(app) if n.name == "Quillet - Preferences" and
                                  n.getRole() in (pyatspi.ROLE_DIALOG, pyatspi.ROLE_FRAME)), None),
                    'the dialog "Quillet - Preferences"')


def gone(app, name):
    end = time.time() + 30
    while time.time() < end:
        if named(app, name) is None:
            return True
        time.sleep(0.2)
    return False


def main():
    program = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/quillet")
    home = tempfile.mkdtemp(prefix="quillet-prefs-a11y-")
    env = dict(os.environ, QUILLET_HOME=home, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
    env.pop("QT_QPA_PLATFORM", None)
    process = subprocess.Popen([program], env=env, cwd=home)
    Atspi.set_timeout(2000, 10000)
    ini = os.path.join(home, "quillet.ini")
    lsp = os.path.join(home, "LSPprefs.ini")
    try:
        app = wait_for(lambda: application(process.pid), "the application on the accessibility bus")
        frame = wait_for(lambda: next((n for n in walk(app) if n.getRole() == pyatspi.ROLE_FRAME and
                                       n.name.startswith("Quillet")), None), "the console")
        item = named(frame, "Preferences", pyatspi.ROLE_MENU_ITEM)
        check("File > Preferences found and enabled",
              item is not None and item.getState().contains(pyatspi.STATE_ENABLED))

        dialog = open_preferences(app, frame)
        tabs = [n.name for n in walk(dialog) if n.getRole() == pyatspi.ROLE_PAGE_TAB]
        check("pages General, File Paths, Event Sounds, UnUsed, Optimization %s" % tabs,
              tabs == ["General", "File Paths", "Event Sounds", "UnUsed", "Optimization"])
        controls = (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON,
                    pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_TEXT, pyatspi.ROLE_PAGE_TAB)
        nameless = ["%s in %s" % (n.getRoleName(), n.parent.name if n.parent else "")
                    for n in walk(dialog) if n.getRole() in controls and not n.name.strip()]
        check("every control of the dialog has a name %s" % nameless, not nameless)
        for name in ("Default Destination Path", "Default Extraction Path", "Temp Path", "Backup Completed",
                     "Backup Reminder", "Backup Error", "Default Mask Theme", "Help", "Cancel", "OK"):
            check('control "%s" found' % name, named(dialog, name) is not None)

        spin = named(dialog, "Remind Every")
        check('"Remind Every" found', spin is not None)
        try:
            spin.queryValue().currentValue = 15.0
        except Exception:
            spin.queryEditableText().setTextContents("15")
        time.sleep(0.5)
        press(named(dialog, "OK", pyatspi.ROLE_PUSH_BUTTON))
        check("OK closes the dialog", gone(app, "Quillet - Preferences"))
        text = (read(ini) or b"").decode("utf-8", "replace")
        check("[Reminder] Interval=15 in quillet.ini", "[Reminder]\nInterval=15\n" in text)

        before = read(lsp)
        check("LSPprefs.ini written by OK", before is not None)
        dialog = open_preferences(app, frame)
        maximum = named(dialog, "Maximum", pyatspi.ROLE_RADIO_BUTTON)
        fast = named(dialog, "Fast", pyatspi.ROLE_RADIO_BUTTON)
        target = fast if maximum.getState().contains(pyatspi.STATE_CHECKED) else maximum
        press(target)
        time.sleep(0.5)
        check("the compression option changed", target.getState().contains(pyatspi.STATE_CHECKED))
        press(named(dialog, "Cancel", pyatspi.ROLE_PUSH_BUTTON))
        check("Cancel closes the dialog", gone(app, "Quillet - Preferences"))
        check("LSPprefs.ini byte-identical after Cancel", read(lsp) == before)
    finally:
        if process.poll() is None:
            process.kill()
    return summary()


if __name__ == "__main__":
    sys.exit(main())
