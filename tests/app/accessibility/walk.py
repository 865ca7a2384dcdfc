#!/usr/bin/python3
"""Walks the accessibility tree of a running Nerolin as a screen reader sees it
and fails on every control that is shown without a role or without a name.

    walk.py nerolin            the real program without a link: the main
                               window, About and the proxy settings, opened
                               from the menu with the keyboard
    walk.py --paused PROGRAM   a program that prints "walk NAME" whenever a
                               window of interest is up and waits for a line
                               on its standard input (nerolin-screenshots with
                               NEROLIN_WALK_PAUSE set): every window, walked

Run it through run-walk, which provides the display and the buses."""

import os
import subprocess
import sys
import time

import pyatspi

# Controls a user acts on, and what a screen reader must be able to name.
INTERACTIVE = {
    "push button", "toggle button", "check box", "radio button", "text", "password text", "entry",
    "combo box", "list", "list box", "tree", "tree table", "table", "menu item", "check menu item",
    "radio menu item", "page tab", "progress bar", "slider", "spin button", "link", "menu",
}
IMAGES = {"image", "icon", "animation"}
NO_ROLE = {"unknown", "invalid", "redundant object"}

problems = []


def describe(node):
    names = []
    while node is not None and node.getRoleName() != "application":
        names.append(f"{node.getRoleName()} {node.name!r}")
        node = node.parent
    return " > ".join(reversed(names))


def check(node, where):
    """Checks node and its shown descendants; returns how many it looked at."""
    try:
        states = node.getState()
        role = node.getRoleName()
        name = (node.name or "").strip()
    except Exception as error:  # a node that went away while walked
        problems.append(f"{where}: unreadable node ({error})")
        return 0
    if not states.contains(pyatspi.STATE_SHOWING):
        return 0
    if role in NO_ROLE and (states.contains(pyatspi.STATE_FOCUSABLE) or name):
        problems.append(f"{where}: {describe(node)} has no role")
    if role in INTERACTIVE and not name:
        problems.append(f"{where}: {describe(node)} has no name")
    if role in IMAGES and not name:
        problems.append(f"{where}: {describe(node)} is an image without a name")
    seen = 1
    for child in node:
        if child is not None:
            seen += check(child, where)
    return seen


def wait_for(condition, what, seconds=30):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        found = condition()
        if found:
            return found
        time.sleep(0.1)
    raise SystemExit(f"walk: gave up waiting for {what}")


def application(process):
    def find():
        if process.poll() is not None:
            raise SystemExit(f"walk: the program ended with status {process.returncode}")
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == process.pid:
                return app
        return None
    return wait_for(find, "the program on the accessibility bus")


def shown_windows(app):
    windows = []
    for window in app:
        try:
            if window is not None and window.getState().contains(pyatspi.STATE_SHOWING):
                windows.append(window)
        except Exception:
            pass
    return windows


def walk_windows(app, label, title=None):
    windows = [window for window in shown_windows(app) if title is None or window.name == title]
    if not windows:
        problems.append(f"{label}: no window is shown")
    seen = sum(check(window, f"{label} ({window.name})") for window in windows)
    print(f"walked {label}: {len(windows)} window(s), {seen} shown nodes", flush=True)


def find(node, role, name=None):
    if node is None:
        return None
    try:
        if node.getRoleName() == role and (name is None or (node.name or "").replace("&", "") == name):
            if node.getState().contains(pyatspi.STATE_SHOWING):
                return node
    except Exception:
        return None
    for child in node:
        hit = find(child, role, name)
        if hit is not None:
            return hit
    return None


def act(node, *action_names):
    actions = node.queryAction()
    for index in range(actions.nActions):
        if actions.getName(index) in action_names:
            actions.doAction(index)
            return
    raise SystemExit(f"walk: {describe(node)} offers none of {action_names}")


def window_named(app, title):
    for window in shown_windows(app):
        if window.name == title:
            return window
    return None


def press(*keys):
    subprocess.run(["xdotool", "key", "--delay", "50", *keys], check=True)


def visible_windows(process):
    """The X windows of the process that are mapped: its dialogs and its popup menus."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(process.pid)],
                           capture_output=True, text=True)
    return set(found.stdout.split())


def shortcut(node):
    """The node's keyboard shortcut ("Alt+e") in xdotool's words ("alt+e")."""
    actions = node.queryAction()
    for index in range(actions.nActions):
        binding = actions.getKeyBinding(index)
        if binding:
            return binding.lower()
    raise SystemExit(f"walk: {describe(node)} has no keyboard shortcut")


def walk_real_program(command):
    """The main window, then each menu command with a window of its own, opened
    as a keyboard user opens it: the menu button's shortcut, then the item's
    letter. (Qt's menu button does not open its menu for an accessibility
    action, and a popup menu is not part of the tree.)"""
    process = subprocess.Popen(command)
    try:
        app = application(process)
        main = wait_for(lambda: window_named(app, "Nerolin"), "the main window")
        walk_windows(app, "main window", "Nerolin")
        for letter, title in (("a", "About Nerolin"), ("p", "Proxy settings")):
            menu_button = find(main, "push button", "Menu")
            if menu_button is None:
                raise SystemExit("walk: the main window has no button named Menu")
            # Without a window manager nothing gives the keyboard back to the
            # main window when a dialog closes: the walk does.
            subprocess.run(["xdotool", "search", "--name", "^Nerolin$", "windowfocus", "--sync", "%1"], check=True)
            before = visible_windows(process)
            press(shortcut(menu_button))
            # A letter typed before the menu is up goes to the main window and
            # is lost: the menu's letter only once its window is mapped.
            wait_for(lambda: visible_windows(process) - before, "the menu to open")
            press(letter)
            wait_for(lambda: window_named(app, title), f"the window {title}")
            walk_windows(app, title, title)
            press("Escape")
            wait_for(lambda: window_named(app, title) is None, f"{title} to close")
        act(find(main, "push button", "Cancel"), "Press")
        process.wait(timeout=30)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


def walk_paused_program(command):
    process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                               env=dict(os.environ, NEROLIN_WALK_PAUSE="1"))
    try:
        app = None
        walked = 0
        for line in process.stdout:
            if line.startswith("walk "):
                app = app or application(process)
                walk_windows(app, line[5:].strip())
                walked += 1
                process.stdin.write("\n")
                process.stdin.flush()
        if process.wait(timeout=120) != 0:
            problems.append(f"the program ended with status {process.returncode}")
        if walked == 0:
            problems.append("the program showed no window to walk")
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


def main(arguments):
    if arguments[:1] == ["--paused"]:
        walk_paused_program(arguments[1:])
    elif arguments:
        walk_real_program(arguments)
    else:
        raise SystemExit(__doc__)
    for problem in problems:
        print("FAIL", problem)
    print(f"{len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
