#!/usr/bin/python3
"""Prints what a screen reader gets over AT-SPI from the active window of a
program: one line per object that is showing, indented by depth,
"role: name [access key] <- caption" (the caption is its labelled-by relation).

    atspi-tree.py APPLICATION_NAME
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


def dump(node, depth):
    if not node.getState().contains(pyatspi.STATE_SHOWING):
        return
    print("  " * depth + node.getRoleName() + ": " + node.name + access_key(node) + caption(node))
    for child in node:
        if child is not None:
            dump(child, depth + 1)


def main(name):
    for application in pyatspi.Registry.getDesktop(0):
        if application is not None and application.name == name:
            for window in application:
                if window is not None and window.getState().contains(pyatspi.STATE_ACTIVE):
                    dump(window, 0)
                    return 0
    print("no active window of " + name, file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
