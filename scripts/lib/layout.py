#!/usr/bin/env python3
"""Who may include whom, read from the sources' own #include lines; prints each breach and ends 1 on any.

- The core (repair/, catalogue/, log/ and the four floors below them) includes no front end, and neither front
  end includes the other.
- sys/, the thin wrappers, includes nothing above itself: it stands alone.
- registry/, image/ and security/ build on sys/ only, except that registry/ may use security/ (a hive's
  privileges); image/ and security/ know nothing of each other. A decision that needs two of them lives in
  repair/.
- No two units (a header with its source) include each other, directly or through others.
"""
import pathlib
import re
import sys

FRONT_ENDS = {"window", "cli"}
# What each folder may include besides itself; absent: anything but the rules above.
MAY_USE = {
    "sys": set(),
    "image": {"sys"},
    "security": {"sys"},
    "registry": {"sys", "security"},
}
FOLDERS = ["sys", "registry", "image", "security", "log", "catalogue", "repair", "window", "cli"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def includes(root):
    """{file: [included project file]} for every source and header of the product's folders."""
    found = {}
    for folder in FOLDERS:
        for path in sorted((root / folder).glob("*")):
            if path.suffix in (".h", ".cpp"):
                name = f"{folder}/{path.name}"
                text = path.read_text(encoding="utf-8", errors="replace")
                found[name] = [i for i in INCLUDE.findall(text) if i.split("/")[0] in FOLDERS]
    return found


def breaches(found):
    out = []
    for name, targets in found.items():
        folder = name.split("/")[0]
        for target in targets:
            to = target.split("/")[0]
            if to == folder:
                continue
            if folder not in FRONT_ENDS and to in FRONT_ENDS:
                out.append(f"{name}: includes {target}: the core includes no front end")
            elif folder in FRONT_ENDS and to in FRONT_ENDS:
                out.append(f"{name}: includes {target}: one front end includes the other")
            elif folder in MAY_USE and to not in MAY_USE[folder]:
                allowed = ", ".join(f"{f}/" for f in sorted(MAY_USE[folder])) or "nothing outside itself"
                out.append(f"{name}: includes {target}: {folder}/ may use {allowed}")
    return out


def cycles(found):
    """Loops between units (x.h with x.cpp): each loop once, as the units it runs through."""
    unit = lambda f: f.rsplit(".", 1)[0]
    graph = {}
    for name, targets in found.items():
        graph.setdefault(unit(name), set()).update(unit(t) for t in targets if unit(t) != unit(name))
    loops, state, stack = [], {}, []

    def visit(node):
        state[node] = "open"
        stack.append(node)
        for nxt in sorted(graph.get(node, ())):
            if state.get(nxt) == "open":
                loops.append(stack[stack.index(nxt):] + [nxt])
            elif nxt not in state:
                visit(nxt)
        stack.pop()
        state[node] = "done"

    for node in sorted(graph):
        if node not in state:
            visit(node)
    return [" -> ".join(loop) + ": units that include each other" for loop in loops]


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    found = includes(root)
    problems = breaches(found) + cycles(found)
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
