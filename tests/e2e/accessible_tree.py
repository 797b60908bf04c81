#!/usr/bin/env python3
"""The editor as a screen reader sees it: its accessibility tree read over AT-SPI.

    accessible_tree.py PROGRAM counts            per role: "role<TAB>named<TAB>total"
    accessible_tree.py PROGRAM tree              every object: role, name, description
    accessible_tree.py PROGRAM check SETTINGS    the checks of the end-to-end test

"check" fails (status 1, the reasons on stderr) unless every text box, check box, combo
box and push button has a name and the names are the rows' groups and columns; it then
presses the page 2 button and the page 1 button through their accessible actions and
expects the rows' new names reported, and rewrites [Group3] Total in SETTINGS as the
betting tool does, expecting the box's text change reported under the box's name. Waits up to 30 seconds for the program to appear on the
accessibility bus; status 2 when it does not.
"""

import sys
import time

import pyatspi
from gi.repository import GLib

ROLES = {
    pyatspi.ROLE_TEXT: "text",
    pyatspi.ROLE_ENTRY: "text",
    pyatspi.ROLE_CHECK_BOX: "check box",
    pyatspi.ROLE_COMBO_BOX: "combo box",
    pyatspi.ROLE_PUSH_BUTTON: "push button",
    pyatspi.ROLE_SPIN_BUTTON: "spin button",
    pyatspi.ROLE_LABEL: "label",
}
# The roles whose every object must have a name.
WORKED = ("text", "check box", "combo box", "push button")
WAIT_SECONDS = 30


def walk(node, depth=0):
    yield depth, node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1)


def find_program(name):
    deadline = time.monotonic() + WAIT_SECONDS
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            # The window is there once its rows are.
            if app is not None and app.name == name and sum(1 for _ in walk(app)) > 100:
                return app
        time.sleep(0.5)
    return None


def counts(app):
    found = {}
    for _, node in walk(app):
        role = ROLES.get(node.getRole())
        if role is not None:
            named, total = found.get(role, (0, 0))
            found[role] = (named + (1 if node.name else 0), total + 1)
    return found


def names(app):
    return [(ROLES[node.getRole()], node) for _, node in walk(app) if node.getRole() in ROLES]


def find_named(app, name):
    for _, node in walk(app):
        if node.name == name:
            return node
    return None


def wait_until(condition):
    """Runs the events' loop until the condition holds; False after WAIT_SECONDS."""
    context = GLib.MainContext.default()
    deadline = time.monotonic() + WAIT_SECONDS
    while time.monotonic() < deadline:
        while context.pending():
            context.iteration(False)
        if condition():
            return True
        time.sleep(0.05)
    return False


def pause(seconds):
    """Runs the events' loop for a while."""
    deadline = time.monotonic() + seconds
    wait_until(lambda: time.monotonic() >= deadline)


class Events:
    """The events of one kind the program reports: type, the object's name, the detail
    (a text change's text)."""

    def __init__(self, kind):
        self.kind = kind
        self.seen = []
        pyatspi.Registry.registerEventListener(self.on_event, kind)

    def on_event(self, event):
        try:
            self.seen.append((event.type, event.source.name, str(event.any_data)))
        except Exception:  # an object gone meanwhile
            pass

    def named(self, name, detail=None):
        return any(
            seen_name == name and detail in (None, seen_detail)
            for _, seen_name, seen_detail in self.seen
        )

    def close(self):
        pyatspi.Registry.deregisterEventListener(self.on_event, self.kind)


def rewrite_total(settings, value):
    """Rewrites the file in place with [Group3] Total = value, as the betting tool does."""
    with open(settings, "rb") as file:
        lines = file.read().split(b"\r\n")
    section = None
    for i, line in enumerate(lines):
        if line.startswith(b"["):
            section = line
        elif section == b"[Group3]" and line.startswith(b"Total="):
            lines[i] = b"Total=" + value
    with open(settings, "r+b") as file:
        file.truncate(0)
        file.write(b"\r\n".join(lines))


def check(app, settings):
    faults = []
    for role, (named, total) in sorted(counts(app).items()):
        print(f"{role}: {named} of {total} named")
        if role in WORKED and named != total:
            faults.append(f"{total - named} {role} objects have no name")
    controls = [node.name for role, node in names(app) if role in ("check box", "combo box")]
    for name in ("グループ 0 Active", "グループ 0 券種", "グループ B 競馬場"):
        if name not in controls:
            faults.append(f"no control named {name}")
    combo = find_named(app, "グループ 0 券種")
    if combo is not None and combo.getRole() != pyatspi.ROLE_COMBO_BOX:
        faults.append("グループ 0 券種 is no combo box")
    total = find_named(app, "グループ 3 Total")
    if total is None:
        faults.append("no box named グループ 3 Total")

    # As a screen reader does: it hears of changed names and texts. The program learns of
    # the listeners over the bus, a moment after they are registered.
    renamed = Events("object:property-change:accessible-name")
    changed = Events("object:text-changed")
    pause(1)

    page2 = find_named(app, "ページ 2 グループ C ～ N")
    if page2 is None:
        faults.append("no page 2 button")
    else:
        page2.queryAction().doAction(0)
        if not wait_until(lambda: renamed.named("グループ C 券種")):
            faults.append("no renaming of the rows reported for page 2")
        if find_named(app, "グループ 0 券種") is not None:
            faults.append("page 2 still names a row グループ 0")
        if page2.description != "表示中のページ":
            faults.append(f"page 2 button described as {page2.description!r}")
        find_named(app, "ページ 1 グループ 0 ～ B").queryAction().doAction(0)
        if not wait_until(lambda: renamed.named("グループ 3 Total")):
            faults.append("no renaming of the rows reported for page 1")

    rewrite_total(settings, b"98765")
    if not wait_until(lambda: changed.named("グループ 3 Total", "98765")):
        faults.append("no text change of グループ 3 Total reported")
    renamed.close()
    changed.close()
    box = find_named(app, "グループ 3 Total")
    if box is not None:
        text = box.queryText()
        shown = text.getText(0, text.characterCount)
        print(f"グループ 3 Total shows {shown}")
        if shown != "98765":
            faults.append(f"グループ 3 Total shows {shown!r}")

    for fault in faults:
        print(fault, file=sys.stderr)
    return 1 if faults else 0


def main():
    name, what = sys.argv[1], sys.argv[2]
    app = find_program(name)
    if app is None:
        print(f"{name} is not on the accessibility bus", file=sys.stderr)
        return 2
    if what == "counts":
        for role, (named, total) in sorted(counts(app).items()):
            print(f"{role}\t{named}\t{total}")
    elif what == "tree":
        for depth, node in walk(app):
            print(f"{'  ' * depth}{node.getRoleName()}\t{node.name!r}\t{node.description!r}")
    elif what == "check":
        return check(app, sys.argv[3])
    return 0


if __name__ == "__main__":
    sys.exit(main())
