#!/usr/bin/python3
"""Drives a fresh console through the desktop's accessibility interface, as a screen reader
would: no projects, title, notes text, disabled commands, every control named, File > Exit
and its question.

Run under an X server with an accessibility bus, for example:
  xvfb-run -a dbus-run-session -- bash -c '/usr/libexec/at-spi-bus-launcher --launch-immediately &
      sleep 1; QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 /usr/bin/python3 tests/console_ui/accessibility_check.py build/quillet'
Exit status 0 when every check passed.
"""
import os
import subprocess
import sys
import tempfile

import pyatspi
from gi.repository import Atspi

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from screen_reader import check, walk, wait_for, application, named, enabled, press, summary  # noqa: E402

NO_PROJECTS = ('There are currently no "Projects" entered.\n\nTo start a new project, click on the '
               'Projects list, then press your "Insert" key.')


def main():
    program = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/quillet")
    home = tempfile.mkdtemp(prefix="quillet-a11y-")
    env = dict(os.environ, QUILLET_HOME=home, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
    env.pop("QT_QPA_PLATFORM", None)
    process = subprocess.Popen([program], env=env, cwd=home)
    Atspi.set_timeout(2000, 10000)
    try:
        app = wait_for(lambda: application(process.pid), "the application on the accessibility bus")
        frame = wait_for(lambda: named(app, "Quillet - [No Projects]", pyatspi.ROLE_FRAME),
                         'the window "Quillet - [No Projects]"')
        check('window title "Quillet - [No Projects]"', frame is not None)
        notes = named(frame, "Notes")
        text = notes.queryText().getText(0, -1) if notes is not None else ""
        check("notes area holds the no-projects text", text == NO_PROJECTS)
        for name in ("Change", "Delete"):
            button = named(frame, name, pyatspi.ROLE_PUSH_BUTTON)
            check('button "%s" found and disabled' % name, button is not None and not enabled(button))
        execute_name = "Backup the currently selected project according to criteria set."
        executes = [n for n in walk(frame) if n.name == execute_name]
        check("Execute (button and toolbar button) found and disabled",
              len(executes) >= 2 and not any(enabled(n) for n in executes))
        menu_execute = named(frame, "Execute Backup for Selected Project", pyatspi.ROLE_MENU_ITEM)
        check("File > Execute Backup for Selected Project disabled",
              menu_execute is not None and not enabled(menu_execute))
        insert = named(frame, "Insert", pyatspi.ROLE_PUSH_BUTTON)
        check('button "Insert" enabled', insert is not None and enabled(insert))

        controls = (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_COMBO_BOX,
                    pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_MENU)
        nameless = ["%s in %s" % (n.getRoleName(), n.parent.name if n.parent else "")
                    for n in walk(frame) if n.getRole() in controls and not n.name.strip()]
        check("every button, check box, drop list, tab and menu item has a name %s" % nameless, not nameless)
        tabs = [n.name for n in walk(frame) if n.getRole() == pyatspi.ROLE_PAGE_TAB]
        check("tabs Projects, Available Backups, Backup Details %s" % tabs,
              tabs == ["Projects", "Available Backups", "Backup Details"])

        exit_item = named(frame, "Exit", pyatspi.ROLE_MENU_ITEM)
        check("File > Exit found", exit_item is not None)
        press(exit_item)
        question = wait_for(lambda: next((n for n in walk(app) if n.name == "Quit Quillet" and
                                          n.getRole() in (pyatspi.ROLE_DIALOG, pyatspi.ROLE_ALERT,
                                                          pyatspi.ROLE_FRAME)), None),
                            'the question "Quit Quillet"')
        def label_text(node):
            try:
                return node.queryText().getText(0, -1)
            except NotImplementedError:
                return ""
        shown = " ".join(n.name + " " + label_text(n) for n in walk(question))
        check('question asks "Are you sure that you want to quit?"', "Are you sure that you want to quit?" in shown)
        yes = named(question, "Yes", pyatspi.ROLE_PUSH_BUTTON)
        check('question has "Yes"', yes is not None)
        press(yes)
        try:
            status = process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            status = None
        check("Yes ends the program with exit status 0 (got %s)" % status, status == 0)
    finally:
        if process.poll() is None:
            process.kill()
    return summary()


if __name__ == "__main__":
    sys.exit(main())
