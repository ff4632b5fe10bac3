#!/usr/bin/python3
"""Acceptance run of the whole program through the desktop's accessibility interface, as a
screen reader user would drive it: a project and its component added from an empty console,
the archives of a project on the Available Backups and Backup Details tabs, a backup run from
the File menu, and a test and a restore of every item of an archive.

Run under an X server with an accessibility bus, for example:
  xvfb-run -a -s '-screen 0 1280x1024x24' dbus-run-session -- bash -c '/usr/libexec/at-spi-bus-launcher --launch-immediately &
      sleep 1; QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 /usr/bin/python3 tests/console_ui/acceptance_check.py build/quillet'
With SHOTS=DIR the screen is saved there (import -window root) at the main steps.
Exit status 0 when every check passed.
"""
import configparser
import filecmp
import os
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import Atspi, GLib

failures = []
passes = []
notes = []
SHOTS = os.environ.get("SHOTS", "")


def check(what, ok):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    (passes if ok else failures).append(what)
    return ok


def note(what):
    print("note " + what, flush=True)
    notes.append(what)


def shot(name):
    if SHOTS:
        os.makedirs(SHOTS, exist_ok=True)
        time.sleep(0.5)  # only so the picture shows the last repaint; no check depends on it
        subprocess.run(["import", "-window", "root", os.path.join(SHOTS, name + ".png")], check=False)


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    try:
        count = node.childCount
    except Exception:
        return
    # Long lists are not walked row by row: their rows are read through the table.
    if count > 200:
        return
    for i in range(count):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(child, depth + 1)


def wait_for(find, what, seconds=60):
    end = time.time() + seconds
    while time.time() < end:
        try:
            found = find()
        except Exception:
            found = None
        if found is not None and found is not False:
            return found
        time.sleep(0.2)
    raise SystemExit("not found: " + what)


def application(pid):
    for app in pyatspi.Registry.getDesktop(0):
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:
            pass
    return None


def named(root, name, role=None):
    for node in walk(root):
        try:
            if node.name == name and (role is None or node.getRole() == role):
                return node
        except Exception:
            pass
    return None


def window(app, title):
    for i in range(app.childCount):
        try:
            w = app.getChildAtIndex(i)
            if w is not None and w.name == title:
                return w
        except Exception:
            pass
    return None


def window_starting(app, prefix):
    for i in range(app.childCount):
        try:
            w = app.getChildAtIndex(i)
            if w is not None and w.name.startswith(prefix):
                return w
        except Exception:
            pass
    return None


LISTS = (pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_LIST, pyatspi.ROLE_TREE)


def list_named(root, name):
    return next((n for n in walk(root) if n.name == name and n.getRole() in LISTS), None)


def enabled(node):
    return node.getState().contains(pyatspi.STATE_ENABLED)


def text_of(node):
    try:
        return node.queryText().getText(0, -1)
    except Exception:
        return ""


def value_of(node):
    """What a screen reader reads of a value beside its caption: the text, else the description."""
    try:
        return text_of(node) or node.description
    except Exception:
        return ""


def ended(run_window):
    """The status line of a test or restore window once it says how the run ended."""
    status = named(run_window, "Status")
    said = value_of(status) if status is not None else ""
    return said if said.startswith("Completed") or said.startswith("Failed") else None


def labelled_by(node):
    names = []
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            names += [relation.getTarget(i).name for i in range(relation.getNTargets())]
    return names


def press(node):
    action = node.queryAction()
    index = 0
    for i in range(action.nActions):
        if action.getName(i) in ("press", "click", "activate", "Press", "toggle"):
            index = i
            break
    try:
        action.doAction(index)
    except GLib.GError:
        # A command that opens a modal window answers the call only when the window is
        # gone; the window is on the bus meanwhile.
        pass


def focus(node):
    try:
        node.queryComponent().grabFocus()
    except Exception:
        pass


def key(keysym):
    Atspi.generate_keyboard_event(keysym, None, Atspi.KeySynthType.SYM)


def point_at(node):
    # Without a window manager the keyboard follows the pointer.
    try:
        box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        Atspi.generate_mouse_event(box.x + box.width // 2, box.y + box.height // 2, "abs")
    except Exception:
        pass


def type_text(node, text):
    """Types into an entry as a user would: focus, select all, the characters, then Tab so
    the entry's leaving checks run. Falls back to setting the text through the interface."""
    point_at(node)
    focus(node)
    try:
        wait_for(lambda: node.getState().contains(pyatspi.STATE_FOCUSED), "focus in " + node.name, 10)
    except SystemExit:
        pass
    Atspi.generate_keyboard_event(0xffe3, None, Atspi.KeySynthType.PRESS)  # Control
    key(ord("a"))
    Atspi.generate_keyboard_event(0xffe3, None, Atspi.KeySynthType.RELEASE)
    key(0xffff)  # Delete
    if text:
        Atspi.generate_keyboard_event(0, text, Atspi.KeySynthType.STRING)
    try:
        wait_for(lambda: text_of(node) == text, "typed text in " + node.name, 10)
    except SystemExit:
        note("typing into %r did not arrive; text set through the interface" % node.name)
        node.queryEditableText().setTextContents(text)
    key(0xff09)  # Tab: leaves the entry


def cli(program, home, *args):
    env = dict(os.environ, QUILLET_HOME=home)
    return subprocess.run([program] + list(args), env=env, cwd=home, capture_output=True, text=True, timeout=300)


def start(program, home, *args):
    env = dict(os.environ, QUILLET_HOME=home, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
    env.pop("QT_QPA_PLATFORM", None)
    process = subprocess.Popen([program] + list(args), env=env, cwd=home)
    app = wait_for(lambda: application(process.pid), "the application on the accessibility bus")
    return process, app


def quit_console(app, frame, process):
    press(named(frame, "Exit", pyatspi.ROLE_MENU_ITEM))
    question = wait_for(lambda: window(app, "Quit Quillet"), 'the question "Quit Quillet"')
    press(named(question, "Yes", pyatspi.ROLE_PUSH_BUTTON))
    try:
        return process.wait(timeout=60)
    except subprocess.TimeoutExpired:
        return None


def table_rows(table, column=0):
    t = table.queryTable()
    rows = []
    for r in range(t.nRows):
        cell = t.getAccessibleAt(r, column)
        rows.append(cell.name if cell is not None else "")
    return rows


def ini(home):
    parser = configparser.ConfigParser(interpolation=None, strict=False)
    parser.optionxform = str
    parser.read(os.path.join(home, "quillet.ini"))
    return parser


# ---- the project form and its component ----

def add_project(program, home, source, project):
    process, app = start(program, home)
    try:
        frame = wait_for(lambda: window(app, "Quillet - [No Projects]"), 'the window "Quillet - [No Projects]"')
        shot("console-empty")
        projects = list_named(frame, "Projects")
        point_at(projects)
        focus(projects)
        try:
            wait_for(lambda: projects.getState().contains(pyatspi.STATE_FOCUSED), "focus in the projects list", 10)
            key(0xff63)  # Insert
            chooser = wait_for(lambda: window(app, "New Project"), 'the window "New Project"', 15)
        except SystemExit:
            note('the Insert key did not reach the projects list; the "Insert" button was pressed')
            press(named(frame, "Insert", pyatspi.ROLE_PUSH_BUTTON))
            chooser = wait_for(lambda: window(app, "New Project"), 'the window "New Project"')
        check('Insert on an empty console opens "New Project"', chooser is not None)
        shot("new-project")
        press(named(chooser, "OK", pyatspi.ROLE_PUSH_BUTTON))
        form = wait_for(lambda: window(app, "Adding a Project"), 'the project form "Adding a Project"')
        check('OK opens the project form "Adding a Project"', form is not None)
        prefix = named(form, "Prefix", pyatspi.ROLE_TEXT)
        name = named(form, "Name", pyatspi.ROLE_TEXT)
        type_text(prefix, "")
        type_text(name, project)
        got = wait_for(lambda: text_of(prefix) or None, "a prefix", 10)
        check('the name "%s" with a blank prefix gives "MY_P" (got %r)' % (project, got), got == "MY_P")

        press(named(form, "Insert", pyatspi.ROLE_PUSH_BUTTON))
        comp = wait_for(lambda: window(app, "Adding a Project Component"), 'the form "Adding a Project Component"')
        check('Insert in the project form opens "Adding a Project Component"', comp is not None)
        type_text(named(comp, "Path", pyatspi.ROLE_TEXT), source)
        mask = named(comp, "Mask")
        type_text(mask, "*.doc,  *.txt ,*.dat")
        shot("component-form")
        press(named(comp, "OK", pyatspi.ROLE_PUSH_BUTTON))
        wait_for(lambda: window(app, "Adding a Project Component") is None or None, "the component form closing")
        components = named(form, "Project Components")
        rows = " | ".join(n.name for n in walk(components) if n.getRole() == pyatspi.ROLE_TABLE_CELL)
        check("the project form lists the component (%s)" % rows, source.rstrip("/") in rows)
        shot("project-form")
        press(named(form, "OK", pyatspi.ROLE_PUSH_BUTTON))
        frame = wait_for(lambda: window(app, "Quillet - [%s]" % project), 'the window "Quillet - [%s]"' % project)
        check("OK saves: the console shows the project", frame is not None)
        status = quit_console(app, frame, process)
        check("File > Exit, Yes ends the program with status 0 (got %s)" % status, status == 0)
    finally:
        if process.poll() is None:
            process.kill()
    listed = cli(program, home, "component", "list", project)
    lines = [line.split("\t") for line in listed.stdout.splitlines()]
    check("quillet component list shows it with the masks stored as '*.doc, *.txt, *.dat' (%r)" % listed.stdout,
          listed.returncode == 0 and any(f[0].rstrip("/") == source.rstrip("/") and f[-1] == "*.doc, *.txt, *.dat"
                                         for f in lines))


# ---- the archives, the test and restore runs, and a backup from the File menu ----

def archives(program, home, project):
    listed = cli(program, home, "archives", project)
    return [line.split("\t")[0] for line in listed.stdout.splitlines() if line.strip()]


def contents(program, home, path):
    # One line per item (folder, name, ...), then the totals lines.
    listed = cli(program, home, "contents", path)
    fields = [line.split("\t") for line in listed.stdout.splitlines()]
    return [f[0] + f[1] for f in fields if len(f) > 2]


def console_runs(program, home, source, project, restore_to):
    for _ in range(2):
        made = cli(program, home, "-P=" + project, "--console")
        if made.returncode != 0:
            note("-P=%s --console: status %d %s" % (project, made.returncode, made.stderr.strip()))
    names = archives(program, home, project)
    check("two archives made with -P=NAME --console %s" % names, len(names) == 2)
    project_line = next((line.split("\t") for line in cli(program, home, "project", "list").stdout.splitlines()
                         if line.split("\t")[1:2] == [project]), None)
    destination = project_line[-1] if project_line else home
    process, app = start(program, home)
    try:
        frame = wait_for(lambda: window(app, "Quillet - [%s]" % project), 'the window "Quillet - [%s]"' % project)
        shot("console-project")
        tab = named(frame, "Available Backups", pyatspi.ROLE_PAGE_TAB)
        press(tab)
        backups = wait_for(lambda: list_named(frame, "Backups"), "the Backups list")
        wait_for(lambda: len(table_rows(backups)) == 2 or None, "two rows on the Available Backups tab", 20)
        shown = table_rows(backups)
        check("Available Backups lists both archives %s" % shown,
              sorted(s.upper() for s in shown) == sorted(n.upper() for n in names))
        shot("console-backups")
        press(named(frame, "Backup Details", pyatspi.ROLE_PAGE_TAB))
        details = wait_for(lambda: list_named(frame, "Backup contents"), "the Backup contents list")
        archive_path = wait_for(lambda: value_of(named(frame, "Backup file")) or None, "the archive path", 20)
        items = contents(program, home, archive_path)
        wait_for(lambda: details.queryTable().nRows == len(items) or None, "every item on Backup Details", 30)
        shown = [a + b for a, b in zip(table_rows(details, 0), table_rows(details, 1))]
        check("Backup Details lists every item of %s (%d shown, %d in the archive)" %
              (os.path.basename(archive_path), len(shown), len(items)), len(items) > 0 and shown == items)
        shot("console-details")

        press(named(frame, "Select All", pyatspi.ROLE_MENU_ITEM))
        test_button = wait_for(lambda: next((n for n in walk(frame) if n.name == "Test Selected Files inside Backup Set"
                                             and enabled(n)), None), "the enabled test button")
        press(test_button)
        test_title = "Test Backup Integrity: %s - %s" % (project, archive_path)
        test = wait_for(lambda: window_starting(app, "Test Backup Integrity: "), "the test window")
        check('the test button opens "%s" (got %r)' % (test_title, test.name), test.name == test_title)
        got = wait_for(lambda: ended(test), "the test ending", 120)
        check('the test ends "Completed - Archive Tests OK" (got %r)' % got, got == "Completed - Archive Tests OK")
        shot("test-window")
        press(wait_for(lambda: next((n for n in walk(test) if n.getRole() == pyatspi.ROLE_PUSH_BUTTON
                                     and n.name in ("Close", "OK")), None), "the test window's close button"))
        wait_for(lambda: window_starting(app, "Test Backup Integrity: ") is None or None, "the test window closing")

        press(named(frame, "Select All", pyatspi.ROLE_MENU_ITEM))
        restore_button = wait_for(lambda: next((n for n in walk(frame) if n.name == "Restore Seleted File(s) from Backup"
                                                and enabled(n)), None), "the enabled restore button")
        press(restore_button)
        restore = wait_for(lambda: window_starting(app, "Restore File(s) from Backup: "), "the restore window")
        check("the restore button opens the restore window %r" % restore.name, restore is not None)
        # On this desktop a drop list's name is its value; its caption is the label that
        # names it through the labelled-by relation, as screen readers read it.
        root = next((n for n in walk(restore) if n.getRole() == pyatspi.ROLE_COMBO_BOX and
                     "Root Destination:" in labelled_by(n)), None)
        check('the root folder entry is labelled "Root Destination:"', root is not None)
        entry = next((n for n in walk(root) if n.getRole() == pyatspi.ROLE_TEXT), root)
        type_text(entry, restore_to)
        # The archive keeps the original folders: the user lets the run create them.
        create = named(restore, "Create Sub-Directories", pyatspi.ROLE_CHECK_BOX)
        if not create.getState().contains(pyatspi.STATE_CHECKED):
            press(create)
        shot("restore-window")
        press(named(restore, "Restore/Extract Files", pyatspi.ROLE_PUSH_BUTTON))
        got = wait_for(lambda: ended(restore), "the restore ending", 120)
        check('the restore ends "Completed - No Errors" (got %r)' % got, got == "Completed - No Errors")
        press(wait_for(lambda: next((n for n in walk(restore) if n.getRole() == pyatspi.ROLE_PUSH_BUTTON
                                     and n.name in ("Close", "OK")), None), "the restore window's close button"))
        wait_for(lambda: window_starting(app, "Restore File(s) from Backup: ") is None or None,
                 "the restore window closing")
        restored = {}
        for folder, _, files in os.walk(restore_to):
            for f in files:
                restored.setdefault(f, os.path.join(folder, f))
        sources = sorted(os.listdir(source))
        same = [f for f in sources if f in restored and filecmp.cmp(os.path.join(source, f), restored[f], False)]
        check("every item restored byte-identical (%d of %d)" % (len(same), len(sources)), same == sources)
        mru = ini(home).get("DestinationMRU", "1", fallback=None)
        check("[DestinationMRU] 1 holds the root folder (%r)" % mru, (mru or "").rstrip("/") == restore_to.rstrip("/"))

        press(named(frame, "Execute Backup for Selected Project", pyatspi.ROLE_MENU_ITEM))
        progress = wait_for(lambda: window_starting(app, "Backup Progress") or window_starting(app, "Back up "),
                            "the backup progress window")
        check("File > Execute Backup for Selected Project opens the progress window %r" % progress.name, True)
        ok = wait_for(lambda: next((n for n in walk(progress) if n.getRole() == pyatspi.ROLE_PUSH_BUTTON
                                    and n.name == "OK"), None), "the progress window's OK", 180)
        shot("backup-progress")
        press(ok)
        wait_for(lambda: frame.getState().contains(pyatspi.STATE_SHOWING) and
                 (window_starting(app, "Backup Progress") or window_starting(app, "Back up ")) is None or None, "the progress window closing")
        third = archives(program, home, project)
        check("the run made the third archive %s" % third, len(third) == 3)
        status = quit_console(app, frame, process)
        check("File > Exit, Yes ends the program with status 0 (got %s)" % status, status == 0)
        parser = ini(home)
        check("closing wrote [LastBacked] %s" % (dict(parser["LastBacked"]) if parser.has_section("LastBacked")
                                                  else "(missing)"),
              parser.has_section("LastBacked") and any(v.strip() for v in parser["LastBacked"].values()))
    finally:
        if process.poll() is None:
            process.kill()


def main():
    program = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/quillet")
    home = tempfile.mkdtemp(prefix="quillet-acceptance-")
    source = os.path.join(home, "source")
    os.makedirs(source)
    for i, (name, size) in enumerate([("letter.doc", 3000), ("notes.txt", 200), ("table.dat", 300000),
                                      ("readme.txt", 0)]):
        with open(os.path.join(source, name), "wb") as f:
            f.write(bytes((i * 7 + j * 13) % 251 for j in range(size)))
    with open(os.path.join(source, "skipped.png"), "wb") as f:
        f.write(b"not in the masks")
    restore_to = os.path.join(home, "restored")
    os.makedirs(restore_to)
    Atspi.set_timeout(2000, 20000)
    project = "my project"
    try:
        add_project(program, home, source, project)
        with open(os.path.join(source, "skipped.png"), "wb"):
            pass
        os.remove(os.path.join(source, "skipped.png"))
        console_runs(program, home, source, project, restore_to)
    except SystemExit as stop:
        check(str(stop), False)
    print("%d passed, %d failed (home %s)" % (len(passes), len(failures), home))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
