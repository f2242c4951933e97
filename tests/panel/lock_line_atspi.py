#!/usr/bin/python3
"""What a screen reader is told of the reference-lock line when the lock
changes: the panel on r6140k-sim's pseudo-terminal under Xvfb, with a D-Bus
session of its own and Debian's AT-SPI registry behind it. Once the panel's
lock watch has asked, the simulator loses its lock (SIGUSR1), and once that
was announced, regains it (SIGUSR2). Every change must be announced to AT-SPI
once, with the line's new text, and nothing while the lock stays. The line and
the announcements go to DUMP.
Usage: SIM PANEL DUMP."""
import os
import signal
import subprocess
import sys

SIM, PANEL, DUMP = sys.argv[1:4]
WAIT = 30
LINE = ", Reference lock"
QUERY = "RX :SYST:REFL?"
QUIET_QUERIES = 5
# What the simulator is made to do, and the line's accessible name it must
# lead to, in turn.
CHANGES = [(signal.SIGUSR1, ":SYSTem:REFLock? = 0, Reference lock"),
           (signal.SIGUSR2, ":SYSTem:REFLock? = 1, Reference lock")]


def start_session():
    """Xvfb and a D-Bus session for this run; AT-SPI's bus comes up on the session's demand."""
    display = subprocess.Popen(["Xvfb", "-displayfd", "1", "-nolisten", "tcp"], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True)
    os.environ["DISPLAY"] = ":" + display.stdout.readline().strip()
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, text=True)
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
    return [bus, display]


def described(accessible):
    states = sorted(pyatspi.stateToString(state) for state in accessible.getState().getStates())
    return (f"  role: {accessible.getRoleName()}\n  name: {accessible.name}\n"
            f"  description: {accessible.description}\n  states: {' '.join(states)}\n")


class LockChanges:
    """Makes the simulator change its lock, one change at a time once the
    panel has settled, and records what AT-SPI is told: each change once, with
    the new name, and nothing while the lock stays."""

    def __init__(self, sim):
        self.sim = sim
        self.pending = list(CHANGES)
        self.announced = False
        self.queries = 0
        self.dump = []
        self.faults = []

    def on_trace(self, descriptor, _condition):
        self.queries += os.read(descriptor, 4096).decode().count(QUERY)
        # The second query is the watch's, so the read-back's reply is shown;
        # after a change, quiet queries show the same reply is not announced again.
        if (not self.announced and self.queries == 2) or (self.announced and self.queries >= QUIET_QUERIES):
            self.next_change()
        return True

    def next_change(self):
        if self.announced:
            self.pending.pop(0)
        self.announced = False
        if not self.pending:
            pyatspi.Registry.stop()
            return
        cause, name = self.pending[0]
        self.dump.append(f"r6140k-sim {signal.Signals(cause).name}: the lock line should read {name!r}\n")
        self.sim.send_signal(cause)

    def on_name_change(self, event):
        if not event.source.name.endswith(LINE):
            return
        carried = event.any_data
        self.dump.append(f"event {event.type}, carrying the {carried.getRoleName()} {carried.name!r}\n"
                         f"{described(event.source)}")
        if self.announced:
            self.faults.append(f"announced again with no change: {event.source.name!r}")
        elif self.pending and event.source.name == self.pending[0][1]:
            self.announced = True
            self.queries = 0

    def give_up(self):
        if self.pending:
            name = self.pending[0][1]
            self.faults.append(f"the panel stopped asking for the lock once it announced {name!r}" if self.announced
                               else f"no announcement of {name!r} within {WAIT} s")
        pyatspi.Registry.stop()
        return False


def watch_lock_line(sim, panel_environment):
    changes = LockChanges(sim)
    pyatspi.Registry.registerEventListener(changes.on_name_change, "object:property-change:accessible-name")
    path = sim.stdout.readline().decode().strip()
    changes.dump.append("r6140k-panel on r6140k-sim's terminal, --lock-watch 0.1: the lock line is read back\n")
    panel = subprocess.Popen([PANEL, "--port", path, "--lock-watch", "0.1"], env=panel_environment,
                             stderr=subprocess.DEVNULL)
    try:
        subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^Select Device$", "windowfocus",
                        "--sync", "key", "Tab", "space"], check=True, timeout=WAIT)
        GLib.io_add_watch(sim.stdout.fileno(), GLib.IO_IN, changes.on_trace)
        GLib.timeout_add_seconds(WAIT, changes.give_up)
        pyatspi.Registry.start()
    finally:
        panel.kill()
        panel.wait()
    return changes


def main():
    processes = start_session()
    # pyatspi finds AT-SPI's bus through the session it sees on importing.
    global pyatspi, GLib
    import pyatspi
    from gi.repository import GLib
    # Unbuffered, so that reading the terminal's path takes none of the trace.
    sim = subprocess.Popen([SIM, "--trace"], stdout=subprocess.PIPE, bufsize=0)
    processes.insert(0, sim)
    try:
        environment = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
        changes = watch_lock_line(sim, environment)
    finally:
        for process in processes:
            process.terminate()
            process.wait()
    with open(DUMP, "w") as dump:
        dump.write("# The reference-lock line as AT-SPI shows it, and what it announces when the lock changes\n")
        dump.writelines(changes.dump)
    print("".join(changes.dump))
    print("\n".join(changes.faults) or "every change announced once, with the new text")
    return 1 if changes.faults else 0


if __name__ == "__main__":
    sys.exit(main())
