#!/usr/bin/python3
"""Acceptance run of the whole program through the desktop's accessibility interface, as a
screen reader user would drive it: a project and its component added from an empty console,
the archives of a project on the Available Backups and Backup Details tabs, a backup run from
the File menu, a test and a restore of every item of an archive, an archive's comment edited,
Find All on its items, and a rename in a favourites folder through the list's pop-up menu.

Run under an X server with an accessibility bus, for example:
  xvfb-run -a -s '-screen 0 1280x1024x24' dbus-run-session -- bash -c '/usr/libexec/at-spi-bus-launcher --launch-immediately &
      sleep 1; QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 /usr/bin/python3 tests/console_ui/acceptance_check.py build/quillet'
With SHOTS=DIR the screen is saved there (import -window root) at the main steps.
Exit status 0 when every check passed.
"""
import filecmp
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

import pyatspi
from gi.repository import Atspi

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from screen_reader import (check, note, shot, walk, wait_for, named, window, window_starting, list_named,  # noqa: E402
                           enabled, text_of, value_of, ended, labelled_by, press, click, focus, key, point_at, type_text, cli,
                           start, quit_console, table_rows, ini, popup_after, summary)


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


# ---- archive housekeeping: a comment, a rename in a favourites folder, Find All ----

def comment_of(path):
    with zipfile.ZipFile(path) as z:
        info = next((i for i in z.infolist() if i.filename.endswith("LSPComments.inb")), None)
        return (info.file_size, z.read(info)) if info else (None, b"")


def select_row(table, row):
    """Selects a row as a screen reader does, through the table's selection."""
    t = table.queryTable()
    if not t.isRowSelected(row):
        t.addRowSelection(row)


def message_box(app, title):
    return wait_for(lambda: window(app, title), 'the message "%s"' % title)


def housekeeping(program, home, project, source):
    destination = os.path.dirname(archives_with_paths(program, home, project)[0])
    before = {p: comment_of(p) for p in archives_with_paths(program, home, project)}
    favourites = os.path.join(home, "favourites")
    os.makedirs(favourites)
    shutil.copy(next(iter(before)), os.path.join(favourites, "Kept copy.lsp"))
    added = cli(program, home, "project", "add", "Kept", "--dest", favourites, "--favorites")
    check("a favourites folder added with the CLI (%s)" % added.stderr.strip(), added.returncode == 0)

    process, app = start(program, home)
    try:
        frame = wait_for(lambda: window(app, "Quillet - [%s]" % project), 'the window "Quillet - [%s]"' % project)
        press(named(frame, "Available Backups", pyatspi.ROLE_PAGE_TAB))
        backups = wait_for(lambda: list_named(frame, "Backups"), "the Backups list")
        wait_for(lambda: table_rows(backups) or None, "the archives on the Available Backups tab", 20)
        press(named(frame, "Edit Comments", pyatspi.ROLE_PUSH_BUTTON))
        edit = wait_for(lambda: window(app, "Edit Archive Comments"), 'the window "Edit Archive Comments"')
        type_text(named(edit, "Comments"), "first note")
        shot("edit-comment")
        press(named(edit, "OK", pyatspi.ROLE_PUSH_BUTTON))
        wait_for(lambda: window(app, "Edit Archive Comments") is None or None, "the comment window closing")
        after = {p: comment_of(p) for p in before}
        changed = [p for p in before if after[p] != before[p]]
        size, data = after[changed[0]] if len(changed) == 1 else (None, b"")
        check("OK changed one archive's comment item: %d bytes holding 'first note' (%s)" %
              (size or 0, [os.path.basename(p) for p in changed]),
              len(changed) == 1 and size == 1016 and b"first note" in data)
        tested = [subprocess_ok(["unzip", "-tqq", p]) for p in before]
        check("every archive still passes unzip -t", all(tested))
        shown = wait_for(lambda: "first note" in value_of(named(frame, "Comment")) or None,
                         "the comment area showing the new comment", 10)
        check("the comment area shows it", shown is True)

        press(named(frame, "Backup Details", pyatspi.ROLE_PAGE_TAB))
        details = wait_for(lambda: list_named(frame, "Backup contents"), "the Backup contents list")
        wait_for(lambda: details.queryTable().nRows > 0 or None, "the items on Backup Details", 30)
        names = table_rows(details, 1)
        expected = sum(1 for n in names if ".txt" in n.lower())
        find = wait_for(lambda: next((n for n in walk(frame) if n.name == "Find File(s) in Backup Set" and enabled(n)),
                                     None), "the enabled Find button")
        press(find)
        search = wait_for(lambda: window(app, "Find File in Backup Set"), 'the window "Find File in Backup Set"')
        type_text(named(search, "Search For:", pyatspi.ROLE_TEXT), ".txt")
        count = named(search, "Show the number of records selected by Find All.", pyatspi.ROLE_CHECK_BOX)
        if not count.getState().contains(pyatspi.STATE_CHECKED):
            press(count)
        shot("find-file")
        press(named(search, "Find All", pyatspi.ROLE_PUSH_BUTTON))
        result = message_box(app, "Search Result")
        said = " ".join(n.name + " " + text_of(n) for n in walk(result))
        check('Find All for ".txt" says "%d Record(s) have been selected." (%s)' % (expected, said.strip()),
              expected > 0 and "%d Record(s) have been selected." % expected in said)
        press(named(result, "OK", pyatspi.ROLE_PUSH_BUTTON))
        marked = [names[r] for r in range(len(names))
                  if details.queryTable().getAccessibleAt(r, 0).getState().contains(pyatspi.STATE_CHECKED)]
        check("Find All marked exactly the matching items %s" % marked,
              sorted(marked) == sorted(n for n in names if ".txt" in n.lower()))

        press(named(frame, "Projects", pyatspi.ROLE_PAGE_TAB))
        projects = list_named(frame, "Projects")
        columns = range(projects.queryTable().nColumns)
        rows = [" ".join(cells) for cells in zip(*(table_rows(projects, c) for c in columns))]
        row = next((i for i, r in enumerate(rows) if "Kept" in r), None)
        check("the Projects list shows the favourites folder %s" % rows, row is not None)
        select_row(projects, row)
        wait_for(lambda: window(app, "Quillet - [Kept]"), 'the window "Quillet - [Kept]"', 20)
        press(named(frame, "Available Backups", pyatspi.ROLE_PAGE_TAB))
        backups = wait_for(lambda: list_named(frame, "Backups"), "the Backups list")
        wait_for(lambda: table_rows(backups) or None, "the copy in the favourites folder", 20)
        cell = backups.queryTable().getAccessibleAt(0, 0)
        # Pop-up menus are not children of the application on the bus; a screen reader
        # learns of them from the event that shows them.
        menu = popup_after(lambda: click(cell, 3))
        rename = named(menu, "Rename (Single File)", pyatspi.ROLE_MENU_ITEM)
        check("the pop-up offers \"Rename (Single File)\"", rename is not None)
        press(rename)
        dialog = wait_for(lambda: window(app, "Rename File"), 'the window "Rename File"')
        type_text(named(dialog, "New Filename:", pyatspi.ROLE_TEXT), "Keep")
        shot("rename-file")
        press(named(dialog, "OK", pyatspi.ROLE_PUSH_BUTTON))
        wait_for(lambda: window(app, "Rename File") is None or None, "the rename window closing")
        kept = sorted(os.listdir(favourites))
        check("Rename to Keep gives Keep.lsp in the same folder %s" % kept, kept == ["Keep.lsp"])
        check("the normal project's archives are untouched", sorted(os.listdir(destination)) ==
              sorted(os.path.basename(p) for p in before))
        status = quit_console(app, frame, process)
        check("File > Exit, Yes ends the program with status 0 (got %s)" % status, status == 0)
    finally:
        if process.poll() is None:
            process.kill()


def subprocess_ok(command):
    return subprocess.run(command, capture_output=True).returncode == 0


def archives_with_paths(program, home, project):
    line = next(line.split("\t") for line in cli(program, home, "project", "list").stdout.splitlines()
                if line.split("\t")[1:2] == [project])
    return [os.path.join(line[-1], name) for name in archives(program, home, project)]


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
        housekeeping(program, home, project, source)
    except SystemExit as stop:
        check(str(stop), False)
    return summary("home " + home)


if __name__ == "__main__":
    sys.exit(main())
