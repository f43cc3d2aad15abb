#!/usr/bin/python3
"""Prints what a screen reader gets over AT-SPI from the active window of a
program: one line per object that is showing, indented by depth,
"role: name [access key] <- caption" (the caption is its labelled-by relation).

    atspi-tree.py APPLICATION_NAME
    atspi-tree.py --geometry APPLICATION_NAME   each line ends with " @WxH+X+Y",
                                                where the object lies in the window
    atspi-tree.py --text NAME APPLICATION_NAME  only the text of the object named NAME
"""
import sys

import pyatspi


def caption(node):
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            return " <- " + relation.getTarget(0).name
    return ""


def access_key(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return ""
    keys = [action.getKeyBinding(i) for i in range(action.nActions) if action.getKeyBinding(i)]
    return " [" + keys[0] + "]" if keys else ""


def extents(node):
    return node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)


def geometry(node, window):
    # As ImageMagick's -crop takes it, over a capture of the window's client
    # area; from screen positions, as Qt 6.4's window-relative extents come
    # with the window's position added to their size.
    box, origin = extents(node), extents(window)
    return " @%dx%d+%d+%d" % (box.width, box.height, box.x - origin.x, box.y - origin.y)


def showing(node, depth=0):
    if not node.getState().contains(pyatspi.STATE_SHOWING):
        return
    yield node, depth
    for child in node:
        if child is not None:
            yield from showing(child, depth + 1)


def dump(window, with_geometry):
    for node, depth in showing(window):
        line = "  " * depth + node.getRoleName() + ": " + node.name + access_key(node) + caption(node)
        print(line + (geometry(node, window) if with_geometry else ""))
    return 0


def text_of(window, name):
    for node, _ in showing(window):
        if node.name == name:
            print(node.queryText().getText(0, -1))
            return 0
    print("nothing named " + name, file=sys.stderr)
    return 1


def active_window(name):
    for application in pyatspi.Registry.getDesktop(0):
        if application is not None and application.name == name:
            for window in application:
                if window is not None and window.getState().contains(pyatspi.STATE_ACTIVE):
                    return window
    return None


def main(arguments):
    with_geometry = arguments[0] == "--geometry"
    wanted = arguments[1] if arguments[0] == "--text" else None
    name = arguments[-1]
    window = active_window(name)
    if window is None:
        print("no active window of " + name, file=sys.stderr)
        return 1
    return text_of(window, wanted) if wanted is not None else dump(window, with_geometry)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
