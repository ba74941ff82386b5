#!/usr/bin/python3
"""The Qt window as people use it: real key events under a window manager (openbox on Xvfb,
keys through XTEST with xdotool), and the window as a screen reader reads it (AT-SPI, on a bus
of the test's own, through pyatspi). Nothing here drives the program through its own API.

Usage: people_qt_test.py QVT_UPDATE_BINARY
"""
import importlib.util
import os
import signal
import shutil
import subprocess
import sys
import tempfile
import time

TITLE = "QVT-40 R3 Update v3.10"
OUTDATED = '{"units": [{"mode": "application", "version": "3.00"}]}'
CURRENT = '{"units": [{"mode": "application", "version": "3.10"}]}'
RUN_STARTED = "message: アップデート開始"
COMPLETED = "caption=アップデート完了"
REFUSAL = "box: アップデート中はアプリケーションを終了できません。"

failures = []


def check(condition, what):
    print(("ok    " if condition else "FAIL  ") + what, flush=True)
    if not condition:
        failures.append(what)


def wait_for(predicate, seconds=10.0):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if predicate():
            return True
        time.sleep(0.1)
    return predicate()


class Desktop:
    """Xvfb with openbox on it, a D-Bus session and the accessibility bus: a person's desktop."""

    def __init__(self):
        self.processes = []
        for number in range(160, 200):
            if not os.path.exists(f"/tmp/.X11-unix/X{number}") and not os.path.exists(f"/tmp/.X{number}-lock"):
                break
        self.display = f":{number}"
        self.start(["Xvfb", self.display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"])
        wait_for(lambda: os.path.exists(f"/tmp/.X{number}-lock"), 5)
        os.environ["DISPLAY"] = self.display
        bus = subprocess.run(["dbus-launch", "--sh-syntax"], capture_output=True, text=True).stdout
        for line in bus.splitlines():
            if line.startswith("DBUS_SESSION_BUS_ADDRESS=") or line.startswith("DBUS_SESSION_BUS_PID="):
                key, value = line.rstrip(";").split("=", 1)
                os.environ[key] = value.strip("'")
        self.bus_pid = int(os.environ["DBUS_SESSION_BUS_PID"])
        self.start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        time.sleep(1.0)
        self.start(["openbox"])
        time.sleep(0.5)

    # Each in a session of its own, ended with what it started: the accessibility bus's launcher
    # leaves its dbus-daemon running when it is killed alone.
    def start(self, command):
        self.processes.append(subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                               start_new_session=True))

    def stop(self):
        # Asked first, so that Xvfb takes its display's lock file away.
        for process in reversed(self.processes):
            try:
                os.killpg(process.pid, signal.SIGTERM)
                process.wait(timeout=2)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
            except OSError:
                process.wait()
        try:
            os.kill(self.bus_pid, 9)
        except OSError:
            pass


def active_window():
    found = subprocess.run(["xdotool", "getactivewindow"], capture_output=True, text=True)
    return found.stdout.strip() or None


def key(*names):
    for name in names:
        subprocess.run(["xdotool", "key", name], check=True)
        time.sleep(0.3)


class Window:
    """The program in its window, its record (--log) read as it grows."""

    reader = None  # told which program it reads

    def __init__(self, binary, scenario, virtual_time=True):
        self.folder = tempfile.mkdtemp(prefix="qvt-people-")
        self.scenario = os.path.join(self.folder, "scenario.json")
        with open(self.scenario, "w", encoding="utf-8") as file:
            file.write(scenario)
        self.record_file = os.path.join(self.folder, "record.txt")
        command = [binary, "--scenario", self.scenario, "--log", self.record_file]
        if virtual_time:
            command.append("--virtual-time")
        environment = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
        self.process = subprocess.Popen(command, env=environment, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        self.id = None
        wait_for(self.find, 15)
        Window.reader.pid = self.process.pid
        wait_for(lambda: Window.reader.application() is not None, 10)
        # Shown: then the window manager makes it the active window, as it would for a person.
        subprocess.run(["timeout", "5", "xdotool", "windowactivate", "--sync", self.id])
        time.sleep(0.5)

    def find(self):
        # Qt makes more than one X window of that name; the one shown is the one a person sees.
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", TITLE],
                               capture_output=True, text=True)
        ids = found.stdout.split()
        self.id = ids[0] if ids else None
        return self.id is not None and os.path.exists(self.record_file)

    def record(self):
        with open(self.record_file, encoding="utf-8") as file:
            # Each line after its date and time.
            return [line.rstrip("\n").split(" ", 2)[-1] for line in file if not line.startswith("#")]

    def shows(self, line):
        return any(line in entry for entry in self.record())

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()
        shutil.rmtree(self.folder, ignore_errors=True)


class Reader:
    """What a screen reader reads: the application's accessible tree, found by its window title."""

    def __init__(self):
        import pyatspi  # the session's accessibility bus must exist before this connects

        self.pyatspi = pyatspi
        self.pid = None  # the program whose tree is read

    def application(self):
        for application in self.pyatspi.Registry.getDesktop(0):
            try:
                if application is not None and application.get_process_id() == self.pid:
                    return application
            except Exception:  # an application that has just gone
                continue
        return None

    def nodes(self):
        found = []

        def walk(node):
            found.append(node)
            for i in range(node.childCount):
                child = node.getChildAtIndex(i)
                if child is not None:
                    walk(child)

        application = self.application()
        if application is not None:
            walk(application)
        return found

    def node(self, role, name=None):
        for node in self.nodes():
            if node.getRoleName() == role and (name is None or node.name == name):
                return node
        return None

    def has(self, node, state):
        return node is not None and node.getState().contains(getattr(self.pyatspi, "STATE_" + state))

    def focused(self):
        for node in self.nodes():
            if self.has(node, "FOCUSED"):
                return node
        return None


def focused_role(reader):
    node = reader.focused()
    return (node.getRoleName(), node.name) if node is not None else None


def focus_becomes(reader, wanted, seconds=5.0):
    """Whether the focus comes to a node of that role (and name, given a pair) in time: a busy
    machine may take a moment over a key."""

    def there():
        role = focused_role(reader)
        return role is not None and (role == wanted if isinstance(wanted, tuple) else role[0] == wanted)

    return wait_for(there, seconds)


def keyboard_alone(binary, reader):
    """An outdated unit: the focus starts on Start, Tab cycles through the enabled controls only
    (the log memo never), Esc and Enter do nothing anywhere, space on Start starts the run."""
    window = Window(binary, OUTDATED)
    try:
        check(focus_becomes(reader, ("push button", "開始")), "at open the focus is on Start")
        key("Tab")
        check(focus_becomes(reader, "text"), "Tab goes to the message (the force box is disabled)")
        key("Tab")
        check(focus_becomes(reader, ("push button", "開始")), "the next Tab comes back to Start")
        key("shift+Tab")
        check(focus_becomes(reader, "text"), "Shift+Tab goes back to the message")
        key("Escape", "Return", "space")
        check(not window.shows(RUN_STARTED), "Esc, Enter and space in the message start nothing")
        key("Tab", "Escape", "Return")
        check(not window.shows(RUN_STARTED), "Esc and Enter on Start start nothing")
        check(window.process.poll() is None, "no key closed the window")
        key("space")
        check(wait_for(lambda: window.shows(COMPLETED)), "space on the focused Start runs the update")
        check(wait_for(lambda: focused_role(reader) is not None and reader.has(reader.focused(), "ENABLED"), 5),
              "after the run the focus is on an enabled control")
    finally:
        window.close()


def disabled_start(binary, reader):
    """A current unit: Start disabled, the focus on the force box; neither a key nor a screen
    reader's action starts anything until the box is ticked."""
    window = Window(binary, CURRENT)
    try:
        start = reader.node("push button", "開始")
        check(start is not None and not reader.has(start, "ENABLED"), "Start is disabled")
        check(focus_becomes(reader, ("check box", "強制的にアップデートを行う")),
              "at open the focus is on the first enabled control, the force box")
        # Qt offers a disabled button no action at all; were one offered, it must start nothing.
        actions = start.queryAction()
        for index in range(actions.nActions):
            try:
                actions.doAction(index)
            except Exception:
                pass
        time.sleep(0.5)
        key("Return", "Escape")
        check(not window.shows(RUN_STARTED), "a disabled Start starts nothing, by a key or doAction")
        key("space")
        check(wait_for(lambda: window.shows("force: enabled checked")), "space ticks the focused force box")
        check(wait_for(lambda: reader.has(reader.node("push button", "開始"), "ENABLED")),
              "the ticked box enables Start")
        enabled = reader.node("push button", "開始").queryAction()
        check(enabled.nActions > 0, "an enabled Start offers the screen reader its action")
    finally:
        window.close()


def a_run_heard_and_closed(binary, reader):
    """In real time: the tree's roles and names, Alt+F4 refused during the run (the run goes on),
    the completion announced, and Alt+F4 closing the window once the run is over."""
    window = Window(binary, OUTDATED, virtual_time=False)
    heard = []
    try:
        pyatspi = reader.pyatspi
        bar = reader.node("progress bar")
        check(bar is not None and bar.queryValue().maximumValue == 13.0, "the bar has its value and maximum")
        check(reader.node("label", "アップデートを行ってください") is not None, "the status panel is named by its caption")
        message = [n for n in reader.nodes() if n.getRoleName() == "text" and reader.has(n, "SHOWING")]
        check(len(message) == 1 and message[0].name.startswith("QVT-40 R3のアップデートが必要です。"),
              "the message is named by its text, and it is the one text shown")
        fields = [n for n in reader.nodes() if n.getRoleName() == "text" and reader.has(n, "FOCUSABLE")]
        check(len(fields) == 1, "the log memo is no field a screen reader lands in")

        def listen(event):
            heard.append(event.source.name)

        pyatspi.Registry.registerEventListener(listen, "object:property-change:accessible-name")
        key("space")
        check(wait_for(lambda: window.shows("message: イレース開始"), 20), "the run has begun")
        key("alt+F4")
        check(wait_for(lambda: window.shows(REFUSAL)), "Alt+F4 during the run shows the refusal")
        # The person answers the box once it is in front of them.
        check(wait_for(lambda: active_window() not in (None, window.id)), "the box takes the keyboard")
        key("Return")
        check(wait_for(lambda: active_window() == window.id), "Return answers the box")
        check(window.process.poll() is None, "the window stays open")

        from gi.repository import GLib

        loop = GLib.MainLoop()
        GLib.timeout_add(500, lambda: (loop.quit() if window.shows(COMPLETED) else True))
        GLib.timeout_add(60000, loop.quit)
        loop.run()
        GLib.MainContext.default().iteration(False)
        check(window.shows(COMPLETED), "the run went on to its completion")
        check("アップデート完了" in heard, "the completion was announced to the screen reader")
        pyatspi.Registry.deregisterEventListener(listen, "object:property-change:accessible-name")
        key("alt+F4")
        check(wait_for(lambda: window.process.poll() is not None), "after the run Alt+F4 closes the window")
    finally:
        window.close()


# What a person's desktop is made of here; where one is missing the test cannot be run, and
# says which (ctest counts exit 77 as skipped).
NEEDED = ["Xvfb", "openbox", "xdotool", "dbus-launch", "/usr/libexec/at-spi-bus-launcher"]
SKIPPED = 77


def missing():
    for program in NEEDED:
        if shutil.which(program) is None:
            return f"{program} is not installed"
    # Found, not imported: it connects when imported, and the desktop's bus is not up yet.
    if importlib.util.find_spec("pyatspi") is None:
        return "pyatspi (python3-pyatspi) is not installed"
    return None


def main():
    binary = sys.argv[1]
    reason = missing()
    if reason:
        print(f"skipped: the Qt window as people use it cannot be tried here: {reason}")
        return SKIPPED
    desktop = Desktop()
    try:
        reader = Reader()
        Window.reader = reader
        keyboard_alone(binary, reader)
        disabled_start(binary, reader)
        a_run_heard_and_closed(binary, reader)
    finally:
        desktop.stop()
    print(f"{len(failures)} failed" if failures else "every check passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
