#!/usr/bin/python3
"""Opens the History window of a project with one recorded run through the desktop's
accessibility interface, as a screen reader user would: the History button of the Available
Backups tab, then every control of the window found by its name, then Close.

Run under an X server with an accessibility bus, for example:
  xvfb-run -a dbus-run-session -- bash -c '/usr/libexec/at-spi-bus-launcher --launch-immediately &
      sleep 1; QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 /usr/bin/python3 tests/run_history/history_accessibility_check.py build/quillet'
Exit status 0 when every check passed.
"""
import os
import subprocess
import sys
import tempfile

import pyatspi
from gi.repository import Atspi

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "console_ui"))
from screen_reader import check, walk, wait_for, named, press, summary  # noqa: E402


def main():
    program = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/quillet")
    home = tempfile.mkdtemp(prefix="quillet-history-a11y-")
    env = dict(os.environ, QUILLET_HOME=home, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
    env.pop("QT_QPA_PLATFORM", None)
    src = os.path.join(home, "src")
    os.makedirs(src)
    with open(os.path.join(src, "a.txt"), "w") as f:
        f.write("a")
    quiet = dict(stdout=subprocess.DEVNULL, env=env, cwd=home)
    subprocess.run([program, "project", "add", "Cellar", "--dest", os.path.join(home, "dest")], check=True, **quiet)
    subprocess.run([program, "component", "add", "Cellar", "--path", src, "--mask", "*.txt"], check=True, **quiet)
    subprocess.run([program, "backup", "Cellar"], check=True, **quiet)

    process = subprocess.Popen([program], env=env, cwd=home)
    Atspi.set_timeout(2000, 10000)
    try:
        app = wait_for(lambda: next((a for a in pyatspi.Registry.getDesktop(0)
                                     if a is not None and a.get_process_id() == process.pid), None),
                       "the application on the accessibility bus")
        history = wait_for(lambda: named(app, "History", pyatspi.ROLE_PUSH_BUTTON), 'the button "History"')
        check('button "History" found', history is not None)
        press(history)
        window = wait_for(lambda: next((n for n in walk(app) if n.name.startswith("History: ") and
                                        n.getRole() in (pyatspi.ROLE_DIALOG, pyatspi.ROLE_FRAME)), None),
                          "the History window")
        check('window "%s"' % window.name, window.name == "History: Cellar")
        for name, role in (("Runs (newest first):", pyatspi.ROLE_TABLE),
                           ("Details of the selected run:", None),
                           ("Refresh", pyatspi.ROLE_PUSH_BUTTON),
                           ("Help", pyatspi.ROLE_PUSH_BUTTON),
                           ("Close", pyatspi.ROLE_PUSH_BUTTON)):
            check('control "%s" found' % name, named(window, name, role) is not None)
        table = named(window, "Runs (newest first):", pyatspi.ROLE_TABLE)
        rows = table.queryTable().nRows if table is not None else -1
        check("the table holds the one recorded run (%d rows)" % rows, rows == 1)
        press(named(window, "Close", pyatspi.ROLE_PUSH_BUTTON))
        wait_for(lambda: None if any(n.name.startswith("History: ") for n in walk(app)) else True,
                 "the History window closing")
        check("Close closes the window", True)
    finally:
        process.terminate()
        process.wait(30)
    return summary()


if __name__ == "__main__":
    sys.exit(main())
