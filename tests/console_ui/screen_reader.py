"""What the acceptance scripts share: finding the program's controls on the desktop's
accessibility bus by role and accessible name, and pressing, typing and reading them as a
screen reader does. Every check is printed as it is made and counted for the exit status."""
import configparser
import os
import subprocess
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


def click(node, button=1):
    """Clicks the middle of a control with the given mouse button (3 opens pop-up menus)."""
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    Atspi.generate_mouse_event(box.x + box.width // 2, box.y + box.height // 2, "b%dc" % button)


def popup_after(action, seconds=20):
    """Runs action and returns the pop-up menu it shows, caught from the bus's event."""
    shown = []
    listener = Atspi.EventListener.new(lambda event: shown.append(event.source))
    listener.register("object:state-changed:showing")
    try:
        action()
        end = time.time() + seconds
        while time.time() < end:
            GLib.MainContext.default().iteration(False)
            menu = next((n for n in shown if n is not None and n.getRole() == pyatspi.ROLE_POPUP_MENU), None)
            if menu is not None:
                return menu
            time.sleep(0.05)
    finally:
        listener.deregister("object:state-changed:showing")
    raise SystemExit("no pop-up menu shown")


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


def summary(where=""):
    """Prints the totals; the exit status for the script."""
    print("%d passed, %d failed%s" % (len(passes), len(failures), (" (%s)" % where) if where else ""))
    return 1 if failures else 0
