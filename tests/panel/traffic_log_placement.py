#!/usr/bin/python3
"""Where the traffic log first opens under a real window manager: the panel on
its simulator under Xvfb with openbox, one row per screen size, the log opened
by its key, the frames read back from X. The log's frame must lie on the
screen, level with the main window's top and against one of its sides,
covering none of it. Usage: PANEL."""
import re
import subprocess
import sys

PANEL = sys.argv[1]
SCREENS = ["1920x1080", "1600x1200"]
WAIT = 20


def start_display(size):
    """Xvfb of the given size with openbox managing it, once openbox has taken the screen."""
    server = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", size + "x24", "-nolisten", "tcp"],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    screen = {"DISPLAY": ":" + server.stdout.readline().strip(), "QT_QPA_PLATFORM": "xcb", "PATH": "/usr/bin:/bin"}
    # openbox runs its start-up command once it manages the screen; its own
    # messages come on the same output.
    manager = subprocess.Popen(["openbox", "--sm-disable", "--startup", "echo managing"], env=screen,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    if "managing\n" not in manager.stdout:
        raise SystemExit("openbox did not start")
    return screen, [manager, server]


def window(screen, title):
    """The id of the visible window so titled, once it is there."""
    found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", title], env=screen,
                           capture_output=True, text=True, check=True, timeout=WAIT).stdout.split()
    return found[0]


def press(screen, window_id, *keys):
    subprocess.run(["xdotool", "windowactivate", "--sync", window_id, "key", *keys], env=screen, check=True,
                   timeout=WAIT)


def frame(screen, window_id):
    """(left, top, right, bottom) of the window with its window manager's frame, right and bottom outside it."""
    info = subprocess.run(["xwininfo", "-id", window_id], env=screen, capture_output=True, text=True,
                          check=True).stdout
    x, y, width, height = (int(re.search(rf"{name}:\s+(-?\d+)", info).group(1))
                           for name in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))
    extents = subprocess.run(["xprop", "-id", window_id, "_NET_FRAME_EXTENTS"], env=screen, capture_output=True,
                             text=True, check=True).stdout
    left, right, top, bottom = map(int, re.findall(r"\d+", extents.split("=", 1)[1]))
    return x - left, y - top, x + width + right, y + height + bottom


def log_placement_faults(size):
    """What is wrong with the log's first place on a screen of this size, and the frames seen."""
    screen, processes = start_display(size)
    panel = subprocess.Popen([PANEL, "--simulate"], env=screen, stderr=subprocess.DEVNULL)
    try:
        press(screen, window(screen, "^Select Device$"), "Tab", "space")
        main = window(screen, "^R6140K Control Panel")
        press(screen, main, "ctrl+l")
        log = frame(screen, window(screen, "^Traffic Log$"))
        main = frame(screen, main)
    finally:
        for process in [panel, *processes]:
            process.kill()
            process.wait()
    width, height = map(int, size.split("x"))
    seen = f"{size}: main window {main}, traffic log {log}"
    faults = []
    if not (0 <= log[0] and 0 <= log[1] and log[2] <= width and log[3] <= height):
        faults.append("the log is not on the screen")
    if log[0] < main[2] and main[0] < log[2] and log[1] < main[3] and main[1] < log[3]:
        faults.append("the log covers the main window")
    if log[1] != main[1]:
        faults.append("the log is not level with the main window's top")
    if log[0] != main[2] and log[2] != main[0]:
        faults.append("the log is not against a side of the main window")
    return seen, faults


def main():
    failed = False
    for size in SCREENS:
        seen, faults = log_placement_faults(size)
        print(seen, "; ".join(faults) or "as expected")
        failed = failed or bool(faults)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
