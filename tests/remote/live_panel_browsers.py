#!/usr/bin/python3
"""The live front panel in two headless Chromium viewers against the panel on
the simulator: a change made by a script reaches both, a viewer without the
token cannot change anything, one with it changes the instrument through the
panel, and withdrawn control is not offered. Usage: PANEL SCREENSHOT."""
import re
import socket
import subprocess
import sys
import time

from selenium import webdriver
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

PANEL, SCREENSHOT = sys.argv[1], sys.argv[2]
WAIT = 5


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


DISPLAY = subprocess.Popen(["Xvfb", "-displayfd", "1", "-nolisten", "tcp"], stdout=subprocess.PIPE, text=True)
SCREEN = {"DISPLAY": ":" + DISPLAY.stdout.readline().strip(), "QT_QPA_PLATFORM": "xcb", "PATH": "/usr/bin:/bin"}


def start_panel(socket_port, *extra):
    """The panel on the simulator, past the device chooser, and the live page's address and token."""
    panel = subprocess.Popen([PANEL, "--simulate", "--web", "127.0.0.1:0", "--listen", f"127.0.0.1:{socket_port}", *extra],
                             stderr=subprocess.PIPE, text=True, env=SCREEN)
    for line in panel.stderr:
        found = re.search(r"control with (http://\S+/)panel\.html\?token=(\w+)", line)
        if found:
            subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "Select Device", "windowfocus",
                            "--sync", "key", "Tab", "space"], env=SCREEN, check=True, timeout=20)
            return panel, found.group(1), found.group(2)
    raise SystemExit("the panel never named its live front panel")


def browser():
    opts = webdriver.ChromeOptions()
    opts.add_argument("--headless=new")
    opts.add_argument("--no-sandbox")
    opts.add_argument("--window-size=900,1000")
    return webdriver.Chrome(options=opts)


def value_of(viewer, name):
    return viewer.find_element(By.CSS_SELECTOR, f'tr[data-name="{name}"] td:nth-child(2)').text


def input_of(viewer, name):
    return viewer.find_element(By.CSS_SELECTOR, f'input[data-name="{name}"]')


def wait_for(viewer, condition, what):
    WebDriverWait(viewer, WAIT, poll_frequency=0.01).until(lambda _: condition(), message=what)


def scpi(port, message):
    subprocess.run(["lxi", "scpi", "-a", "127.0.0.1", "-p", str(port), "-r", message], check=True, capture_output=True)


def log_of(viewer):
    return viewer.find_element(By.ID, "log").text


def main():
    socket_port = free_port()
    panel, base, token = start_panel(socket_port, "--web-control")
    viewers = []
    try:
        owner, other = browser(), browser()
        viewers = [owner, other]
        owner.get(base + "panel.html?token=" + token)
        other.get(base + "panel.html")
        for viewer in viewers:
            wait_for(viewer, lambda v=viewer: value_of(v, "MODulator:IATTenuator") not in ("", "?"), "the read-back")

        began = time.monotonic()
        scpi(socket_port, ":MOD:IATT 41")
        for viewer in viewers:
            wait_for(viewer, lambda v=viewer: value_of(v, "MODulator:IATTenuator") == "5.125 dB", "a script's change")
        print(f"a script's change in both viewers after {1000 * (time.monotonic() - began):.0f} ms")

        assert not input_of(other, "MODulator:QATTenuator").is_enabled(), "a viewer without the token may change"
        assert input_of(owner, "MODulator:QATTenuator").is_enabled(), "the token's viewer may not change"
        other.execute_script('socket.send(JSON.stringify({type:"set", name:"MODulator:QATTenuator", value:9}))')
        other.execute_script('socket.send("{not json")')
        wait_for(other, lambda: log_of(other).count("refused: ") >= 2, "the forged and malformed messages refused")
        assert value_of(other, "MODulator:QATTenuator") != "1.125 dB", "a forged change was applied"

        field = input_of(owner, "MODulator:QATTenuator")
        field.clear()
        field.send_keys("17\n")
        for viewer in viewers:
            wait_for(viewer, lambda v=viewer: value_of(v, "MODulator:QATTenuator") == "2.125 dB", "a browser's change")
        sent = re.findall(r"^.* > :MOD:QATT 17$", log_of(owner), re.M)
        assert sent == ["web 127.0.0.1 > :MOD:QATT 17"], log_of(owner)
        owner.save_screenshot(SCREENSHOT)
    finally:
        for viewer in viewers:
            viewer.quit()
        panel.terminate()
        panel.wait()

    # Without --web-control, nobody controls, token or not.
    panel, base, token = start_panel(free_port())
    try:
        viewer = browser()
        viewer.get(base + "panel.html?token=" + token)
        wait_for(viewer, lambda: value_of(viewer, "MODulator:IATTenuator") not in ("", "?"), "the read-back")
        assert not input_of(viewer, "MODulator:IATTenuator").is_enabled(), "control offered without being allowed"
        viewer.execute_script('socket.send(JSON.stringify({type:"set", token:"%s", name:"MODulator:IATTenuator", value:3}))' % token)
        wait_for(viewer, lambda: "not allowed" in log_of(viewer), "a change refused while control is not allowed")
        viewer.quit()
    finally:
        panel.terminate()
        panel.wait()
    print("live front panel: every step as expected")


try:
    main()
finally:
    DISPLAY.kill()
