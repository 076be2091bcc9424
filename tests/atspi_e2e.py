#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The window program driven through the accessibility interface (AT-SPI), as
a screen reader's user drives it: windows, menu items and buttons found by
their accessible role and name and pressed by their action, texts read and
typed through the accessible text. No key presses or clicks, so the same
driver works on X11 and on Wayland, where nothing can inject input.

    tests/support/with-a11y.sh atspi_e2e.py PROGRAM
        under tests/support/with-xvfb.sh or tests/support/with-weston.sh: a
        fast test on the simulated battery from the Test menu to its results
        window, whose figures must read as the terminal's --report of the
        same file.
    AMPERO_WESTON_IDLE=20 tests/support/with-weston.sh \
        tests/support/with-a11y.sh atspi_e2e.py --blank PROGRAM
        a no-load normal test until Weston blanks its idle screen, which
        stops its frame callbacks: Qt takes the windows as not exposed, and
        neither the chart's window nor the testing window's animation may
        draw (commit) any more, nor the program wake for frames.
    tests/support/with-a11y.sh atspi_e2e.py --hold PROGRAM FILE
        starts a no-load normal test on sim:60 writing FILE, switches the
        accessibility bridge off again, prints "pid N" and keeps the program
        running until standard input closes (testcost_bench's Wayland case).

Exit status 0 when every check passed, 1 otherwise; 77 when pyatspi is missing
(with-a11y.sh gives 77 when the accessibility bus cannot start).
"""
import os
import subprocess
import sys
import tempfile
import time
import warnings
from e2e_common import check, exit_code, failures, stop, wait_for

try:
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi, GLib
except (ImportError, ValueError):
    print("atspi_e2e: no AT-SPI for Python (python3-pyatspi); skipping")
    sys.exit(77)

MAIN_TITLE = "Orvex Ampero 1.1"
# libatspi 2.46 marks the action calls deprecated for a successor it lacks.
warnings.filterwarnings("ignore", category=DeprecationWarning)


def set_bridge(enabled):
    """The desktop's "screen reader on" switch, which Qt's bridge follows."""
    subprocess.run(["gdbus", "call", "--session", "--dest", "org.a11y.Bus", "--object-path", "/org/a11y/bus",
                    "--method", "org.freedesktop.DBus.Properties.Set", "org.a11y.Status", "IsEnabled",
                    "<%s>" % ("true" if enabled else "false")], capture_output=True, timeout=10)


def safe(call, default):
    """An answer of the program, or default where it has gone meanwhile."""
    try:
        return call()
    except GLib.Error:
        return default


def children(acc):
    return [c for c in safe(lambda: [acc.get_child_at_index(i) for i in range(acc.get_child_count())], [])
            if c is not None]


def find_app(pid, seconds=20):
    return wait_for(lambda: next((a for a in children(Atspi.get_desktop(0))
                                  if safe(a.get_process_id, 0) == pid), None), seconds)


def role_name(acc):
    return safe(acc.get_role_name, "")


def name_of(acc):
    return safe(acc.get_name, "")


def find(root, role, name, seconds=10):
    """The first accessible under root (breadth first) with the role and the
    name (a string, or a function of the name)."""
    match = name if callable(name) else (lambda n: n == name)

    def look():
        root.clear_cache()
        queue = [root]
        while queue:
            acc = queue.pop(0)
            if role_name(acc) == role and match(name_of(acc)):
                return acc
            queue.extend(children(acc))
        return None
    return wait_for(look, seconds, 0.2)


def window(app, title, seconds=20):
    """A top-level window of the program by its title (a frame or a dialog)."""
    def look():
        app.clear_cache()
        return next((w for w in children(app) if name_of(w) == title and role_name(w) in ("frame", "dialog")), None)
    return wait_for(look, seconds, 0.2)


def press(acc, what):
    """The accessible's own action (Press, Toggle, ...), as a screen reader
    user presses a control."""
    if not check(acc is not None, "found " + what):
        return False
    count = Atspi.Action.get_n_actions(acc) if "Action" in acc.get_interfaces() else 0
    if not check(count > 0, what + " has an action"):
        return False
    names = [Atspi.Action.get_action_name(acc, i) for i in range(count)]
    index = next((names.index(n) for n in ("Press", "Toggle", "press", "click") if n in names), 0)
    return check(Atspi.Action.do_action(acc, index), "pressed %s (%s)" % (what, names[index]))


def checked(acc):
    return acc.get_state_set().contains(Atspi.StateType.CHECKED)


def value_of(root, caption):
    """The text of the label a caption names (the caption is its buddy)."""
    label = find(root, "label", caption, 2)
    if label is None:
        return None
    return next((name_of(r.get_target(0)) for r in label.get_relation_set() or []
                 if r.get_relation_type() == Atspi.RelationType.LABEL_FOR and r.get_n_targets() > 0), None)


def menu_item(main, menu, item):
    top = find(main, "menu item", menu)
    return find(top, "menu item", item) if top is not None else None


def start_test(app, main, mode, path, no_load):
    """Test > No load CPU as asked, Test > mode, "Start test", then the file
    name in the save dialog and Save."""
    load = menu_item(main, "Test", "No load CPU")
    if load is not None and checked(load) != no_load:
        press(load, "Test > No load CPU")
    check(load is not None and wait_for(lambda: checked(load) == no_load, 5),
          "No load CPU is %s" % ("checked" if no_load else "unchecked"))
    if not press(menu_item(main, "Test", mode), "Test > " + mode):
        return False
    start = window(app, "Start a test")
    if not check(start is not None, "the start window opens"):
        return False
    check(value_of(start, "Test mode:") == mode.split()[0].lower(), "the start window names the mode")
    expected_load = "none" if no_load else "full"
    check(value_of(start, "Load CPU:") == expected_load, "the start window says Load CPU: " + expected_load)
    if not press(find(start, "push button", "Start test"), "Start test"):
        return False
    save = window(app, "Save report")
    if not check(save is not None, "the save dialog opens"):
        return False
    name = find(save, "text", lambda n: n.startswith("File name"))
    if not check(name is not None and "EditableText" in name.get_interfaces(), "the file name field"):
        return False
    Atspi.EditableText.set_text_contents(name, path)
    return press(find(save, "push button", "Save"), "Save") and check(
        wait_for(lambda: os.path.exists(path), 10), "the results file is created")


def report_lines(program, path):
    r = subprocess.run([program, "--report", path], capture_output=True, text=True, timeout=30)
    return [line.split(": ", 1) for line in r.stdout.splitlines() if ": " in line]


def launch(program, tmp, power, **env):
    """The program on the simulated battery, its settings and history in tmp,
    and its main window on the accessibility bus (None when it never came)."""
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(tmp, "config"), XDG_DATA_HOME=os.path.join(tmp, "data"),
               **env)
    env.pop("AMPERO_SCREENSHOT_DIR", None)
    env.pop("AMPERO_POWER_SOURCE", None)
    err = open(env.pop("TRACE"), "w", encoding="utf-8") if "TRACE" in env else subprocess.STDOUT
    proc = subprocess.Popen([program, "--power-source", power], env=env, stdout=subprocess.PIPE, stderr=err,
                            text=True)
    app = find_app(proc.pid)
    main = window(app, MAIN_TITLE) if app is not None else None
    check(main is not None, "the main window is on the accessibility bus")
    return proc, app, main


def fast_test(program, tmp):
    path = os.path.join(tmp, "fast run.apr")
    proc, app, main = launch(program, tmp, "sim:1,capacity=0.27,health=92", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    try:
        if main is None:
            return 1
        check(value_of(main, "Current action:") == "ready for test", "the main window is ready for a test")
        if not start_test(app, main, "Fast mode", path, True):
            return 1
        check(window(app, "Orvex Ampero", 10) is not None, "the testing window shows during the test")
        results = window(app, "Testing results", 40)
        if not check(results is not None, "the results window opens at the end of the fast test"):
            return 1
        shown = 0
        for caption, text in report_lines(program, path):
            value = value_of(results, caption + ":")
            if value is not None:
                shown += 1
                check(value == text, "results window %s %r, --report %r" % (caption, value, text))
        check(shown >= 8, "the results window shows the report's figures (%d found)" % shown)
        chart = find(main, "chart", "Battery level chart", 5)
        check(chart is not None and "forecast line" in chart.get_description(),
              "the chart describes its forecast line: %r" % (chart.get_description() if chart else None))
        press(find(results, "push button", "Close"), "Close")
        check(wait_for(lambda: window(app, "Testing results", 0) is None, 10), "the results window closes")
        press(menu_item(main, "File", "Exit"), "File > Exit")
        code = exit_code(proc)
        check(code == 0, "File > Exit ends the program (exit %s)" % code)
    finally:
        stop(proc)
    return 1 if failures else 0


def hold(program, path):
    """A no-load normal test kept running for a measurement from outside."""
    set_bridge(True)
    proc, app, main = launch(program, os.path.dirname(os.path.abspath(path)), "sim:60")
    try:
        if main is None or not start_test(app, main, "Normal mode", os.path.abspath(path), True):
            print("atspi_e2e: the test did not start", file=sys.stderr)
            return 1
        # Off again: the measurement is of the program, not of its bridge.
        set_bridge(False)
        print("pid %d" % proc.pid, flush=True)
        sys.stdin.read()
    finally:
        stop(proc)
    return 0


def wakeups(pid):
    total = 0
    for task in os.listdir("/proc/%d/task" % pid):
        with open("/proc/%d/task/%s/status" % (pid, task), encoding="utf-8") as f:
            total += sum(int(line.split()[1]) for line in f if "ctxt_switches" in line)
    return total


def trace_counts(trace):
    """Per surface, how often it committed (drew), and how many frame
    callbacks came, so far in the client's protocol trace (WAYLAND_DEBUG)."""
    surfaces, frames = {}, 0
    with open(trace, encoding="utf-8", errors="replace") as f:
        for line in f:
            if " -> wl_surface@" in line and ".commit()" in line:
                surface = line.split("wl_surface@")[1].split(".")[0]
                surfaces[surface] = surfaces.get(surface, 0) + 1
            elif "wl_callback@" in line and ".done(" in line:
                frames += 1
    return surfaces, frames


def blank(program, tmp):
    """Drawing stops while the compositor shows nothing (Wayland exposure)."""
    trace = os.path.join(tmp, "wayland.trace")
    path = os.path.join(tmp, "blank.apr")
    proc, app, main = launch(program, tmp, "sim:60", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", WAYLAND_DEBUG="client",
                             TRACE=trace)
    try:
        if main is None:
            return 1
        if not check(start_test(app, main, "Normal mode", path, True), "a test runs"):
            return 1
        # Twice a second until no frame callback came for two seconds.
        polls = [trace_counts(trace)]
        while len(polls) < 120 and not (len(polls) > 8 and polls[-1][1] == polls[-5][1]):
            time.sleep(0.5)
            polls.append(trace_counts(trace))
        if not check(len(polls) < 120 and polls[-1][1] > polls[0][1], "Weston blanked the screen during the test"):
            return 1
        shown, blanked = polls[-9][0], polls[-5][0]  # the two seconds before the last frame callback
        rates = sorted((blanked.get(s, 0) - shown.get(s, 0)) / 2.0 for s in blanked)
        check(len(rates) >= 2 and rates[-1] >= 5 and rates[-2] >= 0.5,
              "both windows drew while shown (commits a second: %s)" % rates)
        wakes = wakeups(proc.pid)
        time.sleep(4)
        wakes = (wakeups(proc.pid) - wakes) / 4.0
        late = {s: n - polls[-1][0].get(s, 0) for s, n in trace_counts(trace)[0].items()}
        check(sum(late.values()) == 0, "no window draws on the blank screen (commits: %s)" % late)
        check(wakes <= 5, "the program sleeps between the test's ticks (%.1f wake-ups a second)" % wakes)
        check(os.path.getsize(path) > 10, "the test goes on writing samples")
    finally:
        stop(proc)
    return 1 if failures else 0


def main():
    if sys.argv[1:2] == ["--blank"]:
        with tempfile.TemporaryDirectory(prefix="ampero-atspi-") as tmp:
            return blank(os.path.abspath(sys.argv[2]), tmp)
    if sys.argv[1:2] == ["--hold"]:
        return hold(os.path.abspath(sys.argv[2]), sys.argv[3])
    with tempfile.TemporaryDirectory(prefix="ampero-atspi-") as tmp:
        code = fast_test(os.path.abspath(sys.argv[1]), tmp)
    if code == 1:
        print("%d failure(s)" % len(failures))
    return code


if __name__ == "__main__":
    sys.exit(main())
