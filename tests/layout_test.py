#!/usr/bin/env python3
"""Every #include of another folder is one the README's layout table allows, and no two folders
include each other."""
import os
import re
import sys


def allowed_includes(readme):
    """Folder -> the folders it may include, from the README's table."""
    rows = {}
    section = readme.split("## Layout", 1)[1].split("\n## ", 1)[0]
    for line in section.splitlines():
        cells = [cell.strip() for cell in line.strip().strip("|").split("|")]
        if len(cells) != 3 or not cells[0].startswith("`"):
            continue
        folders = re.findall(r"`(\w+)/`", cells[0])
        allowed = set(re.findall(r"`(\w+)`", cells[2]))
        for folder in folders:
            rows[folder] = allowed
    # "the rows above" and "all of the above": every folder named in an earlier row.
    names = list(rows)
    for index, folder in enumerate(names):
        if not rows[folder] and ("above" in section.split(f"`{folder}/`", 1)[1].split("\n", 1)[0]):
            rows[folder] = set(names[:index])
    return rows


def main():
    source = sys.argv[1]
    with open(os.path.join(source, "README.md"), encoding="utf-8") as readme:
        rows = allowed_includes(readme.read())
    failures = []
    seen = {}
    for folder in sorted(rows):
        path = os.path.join(source, folder)
        for name in sorted(os.listdir(path)) if os.path.isdir(path) else []:
            if not name.endswith((".cpp", ".h")):
                continue
            with open(os.path.join(path, name), encoding="utf-8", errors="replace") as file:
                for included in sorted(set(re.findall(r'#include "\.\./(\w+)/', file.read()))):
                    seen.setdefault(folder, set()).add(included)
                    if included not in rows[folder]:
                        failures.append(f"{folder}/{name} includes {included}/, which its row does not allow")
    for folder in sorted(os.listdir(source)):
        if os.path.isfile(os.path.join(source, folder, "CMakeLists.txt")) or folder.startswith((".", "build")):
            continue
        has_code = os.path.isdir(os.path.join(source, folder)) and any(
            name.endswith((".cpp", ".h")) for name in os.listdir(os.path.join(source, folder)))
        if has_code and folder not in rows and folder not in ("tests", "bench", "examples"):
            failures.append(f"{folder}/ holds code and has no row in the layout table")
    for folder, included in seen.items():
        for other in included:
            if folder in seen.get(other, ()):
                failures.append(f"{folder}/ and {other}/ include each other")
    for failure in failures:
        print("FAILED:", failure)
    print(f"{len(rows)} folders checked, {len(failures)} faults")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
