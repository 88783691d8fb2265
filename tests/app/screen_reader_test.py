#!/usr/bin/python3
"""The window as a screen reader meets it, through the accessibility bus: starts the real window
in a folder holding the sample character and its name lists, opens the character through File >
Open and the Open dialog, presses both Validate buttons, and reads the path caption, the memos'
lines (the animation list over 2,000 names long, as a whole and a line alone), the valid lists,
the storage listing and the counts; then opens the stream viewer on Wave by keyboard and reads
its picture's name as the frames step. What it read is printed, and must be
what quorvel-check reports on the same folder.

Run under a display and a session bus:
  tests/support/with_display.sh 800x600x24 dbus-run-session -- screen_reader_test.py BUILD
"""
import ctypes
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi

TIMEOUT = 20  # seconds for the window or a dialog to appear


def wait_for(what, find):
    end = time.monotonic() + TIMEOUT
    while time.monotonic() < end:
        found = find()
        if found is not None:
            return found
        time.sleep(0.1)
    sys.exit(f"FAIL: no {what} after {TIMEOUT} s")


def application(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == name:
            return app
    return None


def descendants(node, depth=0):
    """Every accessible object under node, depth first, in the order a reader meets them."""
    for i in range(node.childCount if depth < 12 else 0):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield child
            yield from descendants(child, depth + 1)


def find(node, role, name=None):
    for child in descendants(node):
        if child.getRole() == role and (name is None or child.name == name):
            return child
    return None


def path_of(node):
    """The child indices from the application down to node."""
    indices = []
    while node.getRole() != pyatspi.ROLE_APPLICATION:
        indices.append(node.getIndexInParent())
        node = node.parent
    return list(reversed(indices))


def press_in_background(node):
    """Presses node from another process: the press opens a modal dialog, and the window answers
    the press only once that dialog has closed."""
    script = ("import sys, pyatspi\n"
              "d = pyatspi.Registry.getDesktop(0)\n"
              "node = [d.getChildAtIndex(i) for i in range(d.childCount) if d.getChildAtIndex(i).name == 'Quorvel'][0]\n"
              "for i in sys.argv[1:]: node = node.getChildAtIndex(int(i))\n"
              "node.queryAction().doAction(0)\n")
    return subprocess.Popen([sys.executable, "-c", script] + [str(i) for i in path_of(node)],
                            stderr=subprocess.DEVNULL)


def text_of(node):
    text = node.queryText()
    return text.getText(0, text.characterCount)


def page(app, caption):
    """The page holding the label `caption`."""
    return find(app, pyatspi.ROLE_LABEL, caption).parent


def value_after(app, caption):
    """The value label that follows a caption label on the Stats page."""
    label = find(app, pyatspi.ROLE_LABEL, caption)
    return label.parent.getChildAtIndex(label.getIndexInParent() + 1).name


def items(list_node):
    return [list_node.getChildAtIndex(i).name for i in range(list_node.childCount)]


def expect(what, read, wanted):
    """Reads until the reading is what is wanted (the bus passes changes on a moment after they
    were made) or the time is up, and prints the last reading."""
    end = time.monotonic() + TIMEOUT
    reading = read()
    while reading != wanted and time.monotonic() < end:
        time.sleep(0.1)
        reading = read()
    shown = reading if not isinstance(reading, list) or len(reading) <= 20 else \
        reading[:6] + [f"... {len(reading) - 8} more ..."] + reading[-2:]
    print(f"{what}: {shown!r}")
    if reading != wanted:
        sys.exit(f"FAIL: {what} reads {reading!r}, expected {wanted!r}")


# X key codes of the keys the viewer is driven with (the usual PC keyboard map of Xvfb).
KEY_CODES = {"Return": 36, "Right": 114, "Escape": 9, "Home": 110, "Down": 116, "Tab": 23, "space": 65}


def press_keys(node, *names):
    """Presses keys as a keyboard does, through the X test extension. The display has no window
    manager, so the window under `node` is first given the keyboard, as a click would."""
    x11 = ctypes.CDLL("libX11.so.6")
    xtest = ctypes.CDLL("libXtst.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    display = ctypes.c_void_p(x11.XOpenDisplay(None))
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    xtest.XTestFakeMotionEvent(display, -1, box.x + box.width // 2, box.y + box.height // 2, 0)
    x11.XFlush(display)
    time.sleep(0.1)
    root, window = ctypes.c_ulong(x11.XDefaultRootWindow(display)), ctypes.c_ulong()
    ignored = [ctypes.c_ulong()] + [ctypes.c_int() for _ in range(4)] + [ctypes.c_uint()]
    x11.XQueryPointer(display, root, ctypes.byref(ignored[0]), ctypes.byref(window),
                      *[ctypes.byref(value) for value in ignored[1:]])
    if window.value:
        x11.XSetInputFocus(display, window, 2, 0)  # RevertToParent, CurrentTime
        x11.XFlush(display)
        time.sleep(0.2)
    for name in names:
        for down in (1, 0):
            xtest.XTestFakeKeyEvent(display, KEY_CODES[name], down, 0)
        x11.XFlush(display)
        time.sleep(0.05)
    x11.XCloseDisplay(display)


def window_named(app, title):
    return next((w for w in (app.getChildAtIndex(i) for i in range(app.childCount)) if w and w.name == title), None)


def read_viewer(app, stofile, listing):
    """Opens the viewer on Wave from its StoFile line with the keyboard (Tab from the page's tab
    to the list, Home, Down to the line, Enter), pauses it with Space, steps two frames with
    Right, reads the picture's name, and closes the viewer with Escape."""
    wave = next(i for i, line in enumerate(listing) if line.startswith("Stream Wave "))
    find(app, pyatspi.ROLE_PAGE_TAB, "StoFile").queryAction().doAction(0)
    press_keys(stofile, "Tab", "Home", *["Down"] * wave, "Return")
    viewer = wait_for("viewer on Wave", lambda: window_named(app, "Wave - Tobin.acs"))
    picture = wait_for("Wave's picture", lambda: next(
        (n for n in descendants(viewer) if n.name.startswith("animation Wave, frame ")), None))
    picture.queryComponent().grabFocus()
    press_keys(picture, "space")
    time.sleep(0.5)
    frame = int(picture.name.split()[3])
    press_keys(picture, "Right", "Right")
    expect("Wave's picture two frames on", lambda: picture.name,
           f"animation Wave, frame {(frame + 1) % 8 + 1} of 8")
    press_keys(picture, "Escape")
    expect("viewer closed", lambda: window_named(app, "Wave - Tobin.acs") is None, True)


def main():
    build = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="quorvel-reader-")
    window = None
    try:
        for name in ("Tobin.acs", "AvailAnim.txt", "AvailState.txt"):
            shutil.copy(os.path.join(build, "samples", name), work)
        # A list long enough for the memo to hold it as paragraphs of several lines.
        with open(os.path.join(work, "AvailAnim.txt"), "a", encoding="utf-8") as f:
            f.writelines(f"Extra{i:04}\r\n" for i in range(2000))
        character = os.path.join(work, "Tobin.acs")
        checked = subprocess.run([os.path.join(build, "bin", "quorvel-check"), "--json", character],
                                 cwd=work, capture_output=True, text=True)
        report = json.loads(checked.stdout)["files"][0]
        listing = subprocess.run([os.path.join(build, "bin", "quorvel-check"), "list", character],
                                 cwd=work, capture_output=True, text=True).stdout.splitlines()

        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
        window = subprocess.Popen([os.path.join(build, "bin", "quorvel")], cwd=work, env=env)
        app = wait_for("window on the accessibility bus", lambda: application("Quorvel"))
        bar = wait_for("menu bar", lambda: find(app, pyatspi.ROLE_MENU_BAR))
        expect("menu bar before Open", lambda: items(bar), ["File", "Path:"])

        opening = press_in_background(find(app, pyatspi.ROLE_MENU_ITEM, "Open"))
        dialog = wait_for("Open dialog", lambda: find(app, pyatspi.ROLE_DIALOG, "Open"))
        name_field = find(dialog, pyatspi.ROLE_TEXT, "File name:")
        name_field.queryEditableText().setTextContents(character)
        find(dialog, pyatspi.ROLE_PUSH_BUTTON, "Open").queryAction().doAction(0)
        opening.wait(TIMEOUT)
        # Anything the Open command had to say would be waiting in a message box.
        box = find(app, pyatspi.ROLE_ALERT) or find(app, pyatspi.ROLE_DIALOG)
        if box is not None:
            sys.exit("FAIL: a message after Open: " + " | ".join(
                n.name for n in descendants(box) if n.getRole() == pyatspi.ROLE_LABEL))

        expect("menu bar after Open", lambda: items(bar), ["File", "Path: " + character])
        animations = page(app, "Available Animations ")
        states = page(app, "Available States ")
        for memo_page, list_name, key in ((animations, "AvailAnim.txt", "animations"),
                                          (states, "AvailState.txt", "states")):
            with open(os.path.join(work, list_name), encoding="utf-8") as f:
                lines = f.read().splitlines()
            memo = find(memo_page, pyatspi.ROLE_TEXT)
            expect(f"{key} memo", lambda: text_of(memo).split("\n"), lines)
            middle = len(lines) // 2
            offset = sum(len(line) + 1 for line in lines[:middle]) + 1
            expect(f"{key} memo's line {middle + 1} read alone", lambda: memo.queryText().getTextAtOffset(
                offset, pyatspi.TEXT_BOUNDARY_LINE_START)[0].rstrip("\n"), lines[middle])
            find(memo_page, pyatspi.ROLE_PUSH_BUTTON, "Validate").queryAction().doAction(0)
            valid = find(memo_page, pyatspi.ROLE_LIST)
            expect(f"valid {key}", lambda: items(valid), report[key]["valid"])

        expect("name of character", lambda: value_after(app, "Name of character ole object : "), report["character"])
        expect("storage element total", lambda: value_after(app, "Storage element total : "),
               str(report["storage_elements"]))
        expect("animation total", lambda: value_after(app, "Animation total in storage : "),
               str(report["animations_in_storage"]))
        expect("unknown animations", lambda: value_after(app, "Unknown animations : "), str(report["unknown_animations"]))
        expect("animations verified", lambda: value_after(app, "Animations verified : "),
               str(report["animations"]["valid_count"]))
        expect("states verified", lambda: value_after(app, "States verified : "), str(report["states"]["valid_count"]))
        stofile = find(page(app, "Storage Elements "), pyatspi.ROLE_LIST)
        expect("storage elements", lambda: items(stofile), listing)
        read_viewer(app, stofile, listing)
        print("screen reader test OK")
    finally:
        if window is not None:
            window.kill()
            window.wait()
        shutil.rmtree(work, ignore_errors=True)


main()
