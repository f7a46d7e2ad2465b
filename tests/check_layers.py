#!/usr/bin/env python3
"""Checks that includes run only downwards through the program's layers:

    app/          start-up, the main window, the help links
    the windows   each subsystem's window files (zorvane_gui)
    ui/           window helpers every window shares
    chart panels  the trend charts drawn with Qt Charts (zorvane_charts): used by the windows and by
                  the command line, which renders them offscreen; they use no window helper
    the logic     history/ formula/ backtest/ search/ killkeep/ charts/ (zorvane_core), and cli/ and the
                  fuzz targets in fuzz/ on top of it; cli/ may include the chart panels, but no Qt
                  Widgets or Qt Charts header itself
    store/        the database, the settings store, the data folder, the workbook writer

Among the subsystems, includes run one way too: history/ <- formula/ <- backtest/ <- search/, killkeep/
<- charts/. Which file is logic, chart panel or window is read from the folders' CMakeLists.txt; that
the logic links neither Qt Widgets nor Qt Charts, and the command line no window, from the build files.
Usage: check_layers.py SOURCE_DIR QT_INCLUDE_DIR...
"""
import os
import re
import sys

SUBSYSTEMS = ["history", "formula", "backtest", "search", "killkeep", "charts"]
# A subsystem's files include only subsystems of a lower rank (and their own folder).
SUBSYSTEM_RANK = {"history": 0, "formula": 1, "backtest": 2, "search": 3, "killkeep": 3, "charts": 4}
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


def headers_of(include_dirs, module):
    """The header names of a Qt module, from its include folder among include_dirs."""
    folder = next((d for d in include_dirs if d.rstrip("/").endswith(module)), "")
    if not folder:
        # Only the module's parent folder may be given: look for the module inside it.
        folder = next((os.path.join(d, module) for d in include_dirs if os.path.isdir(os.path.join(d, module))), "")
    return set(os.listdir(folder)) if os.path.isdir(folder) else set()


def link_libraries(cmake_file, target):
    """The words of target_link_libraries(target ...) in a build file."""
    text = open(cmake_file, encoding="utf-8").read()
    return " ".join(re.findall(r"target_link_libraries\(" + re.escape(target) + r"\s(.*?)\)", text, re.S)).split()


def main():
    source_dir = sys.argv[1]
    # Qt's include folders, of which those of Qt Widgets and Qt Charts name the headers a logic file
    # must not use.
    widgets_headers = headers_of(sys.argv[2:], "QtWidgets")
    charts_headers = headers_of(sys.argv[2:], "QtCharts")
    if not widgets_headers or not charts_headers:
        print(f"no Qt Widgets or Qt Charts headers found in {sys.argv[2:]}")
        return 2

    core, views, gui = set(), set(), set()
    for folder in FOLDERS:
        if folder == "cli":
            continue
        for target, files in listed_sources(source_dir, folder).items():
            {"zorvane_core": core, "zorvane_charts": views}.get(target, gui).update(files)
    # The command line (with the chart panels) and the fuzz targets sit on the logic.
    cli = {f"{folder}/{n}" for folder in ("cli", "fuzz") if os.path.isdir(os.path.join(source_dir, folder))
           for n in os.listdir(os.path.join(source_dir, folder)) if n.endswith((".cpp", ".h"))}

    def is_widgets(kind, name):
        if kind != "<":
            return False
        return name.startswith(("QtWidgets/", "QtGui/")) or name in widgets_headers

    def is_charts(kind, name):
        return kind == "<" and (name.startswith("QtCharts/") or name in charts_headers)

    faults = []
    # The logic runs without a display, so it links no graphics; the command line links no window.
    top = os.path.join(source_dir, "CMakeLists.txt")
    for word in link_libraries(top, "zorvane_core"):
        if any(m in word for m in ("Widgets", "Charts", "Gui", "zorvane_gui", "zorvane_charts")):
            faults.append(f"CMakeLists.txt: the logic (zorvane_core) links {word}")
    for word in link_libraries(top, "zorvane_charts"):
        if word == "zorvane_gui":
            faults.append("CMakeLists.txt: the chart panels (zorvane_charts) link the windows")
    for word in link_libraries(os.path.join(source_dir, "cli", "CMakeLists.txt"), "zorvane-cli"):
        if word == "zorvane_gui" or word.startswith("Qt6::"):
            faults.append(f"cli/CMakeLists.txt: the command line links {word}")

    for path in sorted(core | views | gui | cli):
        if not path.endswith((".cpp", ".h")):
            continue
        folder = path.split("/")[0]
        text = open(os.path.join(source_dir, path), encoding="utf-8").read()
        for kind, name in INCLUDE.findall(text):
            target_folder = name.split("/")[0] if kind == '"' else None
            if path in core or path in cli:
                if is_widgets(kind, name):
                    faults.append(f"{path}: logic includes the Qt Widgets header <{name}>")
                if is_charts(kind, name):
                    faults.append(f"{path}: logic includes the Qt Charts header <{name}>")
                if target_folder in ("app", "ui") or name in gui:
                    faults.append(f"{path}: logic includes the window file {name}")
            if path in core and name in views:
                faults.append(f"{path}: logic includes the chart panel file {name}")
            if path in views and (target_folder in ("app", "ui") or name in gui):
                faults.append(f"{path}: a chart panel includes the window file {name}")
            if target_folder == "app" and folder != "app":
                faults.append(f"{path}: only app/ may include app/ ({name})")
            if folder == "store" and target_folder in FOLDERS and target_folder != "store":
                faults.append(f"{path}: store/ includes the layer above it ({name})")
            if (folder in SUBSYSTEM_RANK and target_folder in SUBSYSTEM_RANK and target_folder != folder
                    and SUBSYSTEM_RANK[target_folder] >= SUBSYSTEM_RANK[folder]):
                faults.append(f"{path}: {folder}/ includes {target_folder}/, which stands beside or above it ({name})")
            if folder == "ui" and ((name in gui and not name.startswith("ui/")) or name in views):
                faults.append(f"{path}: ui/ includes a subsystem's window ({name})")
            if kind == '"' and target_folder in FOLDERS and not os.path.exists(os.path.join(source_dir, name)):
                faults.append(f"{path}: includes {name}, which does not exist")
    for fault in faults:
        print(fault)
    print(f"checked {len(core)} logic, {len(views)} chart panel, {len(gui)} window and {len(cli)} command-line and fuzz files: "
          f"{len(faults)} fault(s)")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
