#!/usr/bin/python3
"""The live front panel in two headless Chromium viewers against the panel on
r6140k-sim: a change made by a script reaches both, a viewer without the
token cannot change anything, one with it changes the instrument through the
panel (counted in r6140k-sim's record) and the desktop slider (read through
AT-SPI), and withdrawn control is not offered. Usage: PANEL SIM SCREENSHOT."""
import os
import re
import socket
import subprocess
import sys
import threading
import time

from selenium import webdriver
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

PANEL, SIM, SCREENSHOT = sys.argv[1:4]
WAIT = 5


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


DISPLAY = subprocess.Popen(["Xvfb", "-displayfd", "1", "-nolisten", "tcp"], stdout=subprocess.PIPE, text=True)
# A session bus of the test's own, on which D-Bus starts the AT-SPI registry
# when first asked; the panel's widgets join it as they would a desktop's.
BUS = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE, text=True)
os.environ["DBUS_SESSION_BUS_ADDRESS"] = BUS.stdout.readline().strip()
SCREEN = {"DISPLAY": ":" + DISPLAY.stdout.readline().strip(), "QT_QPA_PLATFORM": "xcb", "PATH": "/usr/bin:/bin",
          "DBUS_SESSION_BUS_ADDRESS": os.environ["DBUS_SESSION_BUS_ADDRESS"], "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}
import pyatspi  # noqa: E402 (it joins the session bus named above as it is imported)


def start_instrument():
    """r6140k-sim on a pseudo-terminal, its line, and every line it received, as it prints them."""
    sim = subprocess.Popen([SIM, "--trace"], stdout=subprocess.PIPE, text=True)
    line, received = sim.stdout.readline().strip(), []

    def record():
        for printed in sim.stdout:
            if printed.startswith("RX "):
                received.append(printed[3:].rstrip("\n"))
    threading.Thread(target=record, daemon=True).start()
    return sim, line, received


def start_panel(socket_port, *extra):
    """The panel, past the device chooser, and the live page's address and token."""
    panel = subprocess.Popen([PANEL, "--web", "127.0.0.1:0", "--listen", f"127.0.0.1:{socket_port}", *extra],
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


def desktop_slider(caption):
    """The panel window's slider of that caption, as the AT-SPI registry offers it."""
    panel = next(a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "r6140k-panel")
    return pyatspi.findDescendant(panel, lambda a: a.getRole() == pyatspi.ROLE_SLIDER
                                  and a.name.startswith(caption + ",")).queryValue()


def main():
    socket_port = free_port()
    sim, line, received = start_instrument()
    panel, base, token = start_panel(socket_port, "--port", line, "--web-control")
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
        slider = desktop_slider("Q Atten")
        wait_for(owner, lambda: slider.currentValue == 2.125, "the desktop slider at 2.125 dB")
        queries = received.count(":MOD:QATT?")
        scpi(socket_port, ":MOD:QATT?")  # answered after every line before it reached the instrument
        wait_for(owner, lambda: received.count(":MOD:QATT?") > queries, "the instrument's record of the query")
        assert [sent for sent in received if sent.startswith(":MOD:QATT ")] == [":MOD:QATT 17"], received
        assert re.findall(r"^.* > :MOD:QATT 17$", log_of(owner), re.M) == ["web 127.0.0.1 > :MOD:QATT 17"]
        owner.save_screenshot(SCREENSHOT)
    finally:
        for viewer in viewers:
            viewer.quit()
        panel.terminate()
        panel.wait()
        sim.terminate()
        sim.wait()

    # Without --web-control, nobody controls, token or not.
    panel, base, token = start_panel(free_port(), "--simulate")
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
    BUS.terminate()
    DISPLAY.kill()
