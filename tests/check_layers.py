#!/usr/bin/env python3
"""Checks that includes run only downwards through the program's layers:

    app/          start-up, the main window, the help links
    the windows   each subsystem's window files (zorvane_gui)
    ui/           window helpers every window shares
    the logic     history/ formula/ backtest/ search/ killkeep/ (zorvane_core), and cli/ and the fuzz
                  targets in fuzz/ on top of it
    store/        the database, the settings store, the data folder, the workbook writer

Among the subsystems, includes run one way too: history/ <- formula/ <- backtest/ <- search/, killkeep/.
Which file is logic and which is a window is read from the folders' CMakeLists.txt.
Usage: check_layers.py SOURCE_DIR QT_INCLUDE_DIR...
"""
import os
import re
import sys

SUBSYSTEMS = ["history", "formula", "backtest", "search", "killkeep"]
# A subsystem's files include only subsystems of a lower rank (and their own folder).
SUBSYSTEM_RANK = {"history": 0, "formula": 1, "backtest": 2, "search": 3, "killkeep": 3}
FOLDERS = ["store"] + SUBSYSTEMS + ["ui", "app", "cli"]
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def listed_sources(source_dir, folder):
    """Files of a folder by target: {"zorvane_core": [...], "zorvane_gui": [...]}."""
    lists = os.path.join(source_dir, folder, "CMakeLists.txt")
    if not os.path.exists(lists):
        return {}
    text = open(lists, encoding="utf-8").read()
    out = {}
    for target, body in re.findall(r"target_sources\((\w+)\s+PRIVATE(.*?)\)", text, re.S):
        names = [w for w in body.split() if not w.startswith("#")]
        out.setdefault(target, []).extend(f"{folder}/{n}" for n in names)
    return out


def main():
    source_dir = sys.argv[1]
    # Qt's include folders, of which the one of Qt Widgets names the headers a logic file must not use.
    widgets_dir = next((d for d in sys.argv[2:] if d.rstrip("/").endswith("QtWidgets")), "")
    widgets_headers = set(os.listdir(widgets_dir)) if os.path.isdir(widgets_dir) else set()
    if not widgets_headers:
        print(f"no Qt Widgets headers found in {widgets_dir}")
        return 2

    core, gui = set(), set()
    for folder in FOLDERS:
        if folder == "cli":
            continue
        for target, files in listed_sources(source_dir, folder).items():
            (core if target == "zorvane_core" else gui).update(files)
    # The command line and the fuzz targets sit on the logic alone.
    cli = {f"{folder}/{n}" for folder in ("cli", "fuzz") if os.path.isdir(os.path.join(source_dir, folder))
           for n in os.listdir(os.path.join(source_dir, folder)) if n.endswith((".cpp", ".h"))}

    def is_widgets(kind, name):
        if kind != "<":
            return False
        return name.startswith("QtWidgets/") or name in widgets_headers

    faults = []
    for path in sorted(core | gui | cli):
        if not path.endswith((".cpp", ".h")):
            continue
        folder = path.split("/")[0]
        text = open(os.path.join(source_dir, path), encoding="utf-8").read()
        for kind, name in INCLUDE.findall(text):
            target_folder = name.split("/")[0] if kind == '"' else None
            if path in core or path in cli:
                if is_widgets(kind, name):
                    faults.append(f"{path}: logic includes the Qt Widgets header <{name}>")
                if target_folder in ("app", "ui") or name in gui:
                    faults.append(f"{path}: logic includes the window file {name}")
            if target_folder == "app" and folder != "app":
                faults.append(f"{path}: only app/ may include app/ ({name})")
            if folder == "store" and target_folder in FOLDERS and target_folder != "store":
                faults.append(f"{path}: store/ includes the layer above it ({name})")
            if (folder in SUBSYSTEM_RANK and target_folder in SUBSYSTEM_RANK and target_folder != folder
                    and SUBSYSTEM_RANK[target_folder] >= SUBSYSTEM_RANK[folder]):
                faults.append(f"{path}: {folder}/ includes {target_folder}/, which stands beside or above it ({name})")
            if folder == "ui" and (name in gui and not name.startswith("ui/")):
                faults.append(f"{path}: ui/ includes a subsystem's window ({name})")
            if kind == '"' and target_folder in FOLDERS and not os.path.exists(os.path.join(source_dir, name)):
                faults.append(f"{path}: includes {name}, which does not exist")
    for fault in faults:
        print(fault)
    print(f"checked {len(core)} logic, {len(gui)} window and {len(cli)} command-line and fuzz files: "
          f"{len(faults)} fault(s)")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
