#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The real program on an X server, driven as a person would (xdotool keys and
clicks), with the simulated battery.

    tests/support/with-xvfb.sh gui_e2e.py PROGRAM OUTDIR [CASE...]

Cases (all by default):
  fast      a fast test from the menu to its results window; pictures of the
            main window during the test and of the results with the forecast
            line in OUTDIR
  sigterm   SIGTERM during a normal test: the file is complete and the
            run-once autostart entry is there; starting its Exec line opens
            the results and removes the entry
  sigint    the same with SIGINT (Ctrl+C in the terminal that started it)
  terminal  SIGTERM during a terminal-mode test: complete file, no entry
  ghost     a fast test to its results, then a normal test: the fast test's
            forecast line is gone from the chart (pictures in OUTDIR)
  titles    every window's X title reads exactly as its window definition
            gives it; the names are kept in OUTDIR/window-titles.txt
  hup       SIGHUP during a terminal test (the terminal closed): complete
            file, exit 1
  pipe      a terminal test piped into `head -n 2`: it runs to its regular
            end, exit 0, complete file
  diskfull  a terminal test whose disk fills (the LD_PRELOAD shim named by
            AMPERO_FAULT_SHIM): exit 4 at once, one line why, and the report
            says the file is incomplete; then a window test on a disk that
            fills: "testing interrupted", no results window
  locks     a fast test from the menu with logind's mock (python3-dbusmock)
            on a bus of its own: the idle and delay locks are held during
            the test and gone while the results window is open

Exit status 0 when every case passed, 1 otherwise; 77 when xdotool is missing.
"""
import http.server
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
from e2e_common import check, exit_code, failures, stop, wait_for

PROGRAM = os.path.abspath(sys.argv[1])
OUT = os.path.abspath(sys.argv[2])
CASES = sys.argv[3:] or ["fast", "sigterm", "sigint", "terminal", "ghost", "titles", "hup", "pipe", "empty", "diskfull", "locks"]
MAIN_TITLE = "^Orvex Ampero 1.1$"
HEADER = 10  # bytes before the first sample of a results file


def xdo(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=30)


def find_window(title_regex, seconds=20):
    """The id of the visible window whose title matches, or None."""
    def look():
        r = xdo("search", "--onlyvisible", "--name", title_regex)
        ids = r.stdout.split()
        return ids[-1] if ids else None
    return wait_for(look, seconds, 0.1)


def window_geometry(wid):
    r = xdo("getwindowgeometry", "--shell", wid)
    g = dict(line.split("=", 1) for line in r.stdout.split() if "=" in line)
    return int(g["X"]), int(g["Y"]), int(g["WIDTH"]), int(g["HEIGHT"])


def focus(wid):
    xdo("windowfocus", "--sync", wid)


def click(wid, x, y):
    xdo("mousemove", "--window", wid, str(x), str(y))
    xdo("click", "1")


def screenshot(wid, name):
    """The window's area of the screen, with whatever lies over it, as the
    user sees it (the window's own contents are undefined where another
    window covers it)."""
    path = os.path.join(OUT, name)
    x, y, w, h = window_geometry(wid)
    subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage", path],
                   check=False, timeout=30)
    return check(os.path.getsize(path) > 0 if os.path.exists(path) else False, "picture " + name)


def grab(wid):
    x, y, w, h = window_geometry(wid)
    return subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y), "rgb:-"],
                          capture_output=True, timeout=30).stdout


def window_name(wid):
    r = xdo("getwindowname", wid)
    return r.stdout.rstrip("\n") if r.returncode == 0 else None


def wait_gone(title_regex, seconds=10):
    return wait_for(lambda: find_window(title_regex, 0) is None, seconds)


def forecast_blue(r, g, b):
    """A pixel of the forecast line (130, 155, 254), alone or blended into
    the chart's white; neither the red curve, the greys nor the usage bars'
    highlight come near it."""
    return b >= 230 and b - r >= 40 and b - g >= 25


def count_pixels(path, test, top_fraction=1.0):
    """How many pixels of the picture's upper part pass test(r, g, b)."""
    r = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], capture_output=True, timeout=30)
    data = r.stdout
    fields, pos = [], 0
    while len(fields) < 4:  # "P6", width, height, maximum, each after white space
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    width, height = int(fields[1]), int(fields[2])
    rows = int(height * top_fraction)
    pixels = data[pos:pos + width * rows * 3]
    return sum(1 for i in range(0, len(pixels) - 2, 3) if test(pixels[i], pixels[i + 1], pixels[i + 2]))


def report(path):
    r = subprocess.run([PROGRAM, "--report", path, "--json"], capture_output=True, text=True, timeout=30)
    if r.returncode != 0:
        print(r.stderr, end="")
        return None
    return json.loads(r.stdout)


def samples_in(path):
    try:
        return max(0, os.path.getsize(path) - HEADER)
    except OSError:
        return 0


def start_program(env, *args):
    return subprocess.Popen([PROGRAM, *args], env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True)


def start_test_from_menu(main, mode_key, path):
    """Test > Fast mode (f) or Normal mode (n), "Start test", then the file name."""
    focus(main)
    xdo("key", "--delay", "100", "alt+t", mode_key)
    start = find_window("^Start a test")
    if not check(start is not None, "start-test window opens from the menu"):
        return False
    focus(start)
    xdo("key", "--delay", "100", "Tab", "space")  # Cancel has the focus: Tab to "Start test"
    save = find_window("^Save report")
    if not check(save is not None, "save dialog opens after Start test"):
        return False
    focus(save)
    xdo("key", "ctrl+a")
    xdo("type", "--delay", "10", path)
    xdo("key", "Return")
    return check(wait_for(lambda: os.path.exists(path), 10), "results file created: " + os.path.basename(path))


def fresh_env(tmp):
    env = dict(os.environ)
    env["XDG_CONFIG_HOME"] = os.path.join(tmp, "config")
    env["QT_QPA_PLATFORM"] = "xcb"
    env.pop("AMPERO_SCREENSHOT_DIR", None)
    env.pop("AMPERO_POWER_SOURCE", None)
    # No desktop services of this machine: the program runs without them.
    env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + os.path.join(tmp, "no-session-bus")
    env["DBUS_SYSTEM_BUS_ADDRESS"] = "unix:path=" + os.path.join(tmp, "no-system-bus")
    return env


def autostart_entries(env):
    folder = os.path.join(env["XDG_CONFIG_HOME"], "autostart")
    return sorted(os.path.join(folder, f) for f in os.listdir(folder)) if os.path.isdir(folder) else []


def desktop_exec_argv(value):
    """An Exec value split as a desktop launcher (GLib's) does: the
    string-value escapes, then the field codes (%% is a literal %, others
    expand to nothing here), then the quoting ("..." with \\" \\` \\$ \\\\
    escaped)."""
    unescaped, i = "", 0
    while i < len(value):
        c = value[i]
        if c == "\\" and i + 1 < len(value):
            unescaped += {"s": " ", "n": "\n", "t": "\t", "r": "\r", "\\": "\\"}.get(value[i + 1], "\\" + value[i + 1])
            i += 2
            continue
        unescaped += c
        i += 1
    expanded, i = "", 0
    while i < len(unescaped):
        if unescaped[i] == "%" and i + 1 < len(unescaped):
            if unescaped[i + 1] == "%":
                expanded += "%"
            i += 2
            continue
        expanded += unescaped[i]
        i += 1
    argv, cur, have, quoted, i = [], "", False, False, 0
    while i < len(expanded):
        c = expanded[i]
        if quoted:
            if c == "\\" and i + 1 < len(expanded) and expanded[i + 1] in '"`$\\':
                cur += expanded[i + 1]
                i += 1
            elif c == '"':
                quoted = False
            else:
                cur += c
        elif c == '"':
            quoted, have = True, True
        elif c == " ":
            if have:
                argv.append(cur)
            cur, have = "", False
        else:
            cur, have = cur + c, True
        i += 1
    if have:
        argv.append(cur)
    return argv


def entry_exec(path):
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("Exec="):
                return line[len("Exec="):].rstrip("\n")
    return None


def case_fast(tmp):
    env = fresh_env(tmp)
    path = os.path.join(tmp, "fast run.apr")
    # 1 % a second as sim:1, from a small battery, so that the main window's
    # picture shows a laptop's power draw (8.9 W) and health (92%).
    proc = start_program(env, "--power-source", "sim:1,capacity=0.27,health=92")
    try:
        main = find_window(MAIN_TITLE)
        if not check(main is not None, "main window shows"):
            return
        if not start_test_from_menu(main, "f", path):
            return
        if check(wait_for(lambda: samples_in(path) >= 2, 10), "samples are written during the test"):
            screenshot(main, "main-during-test.png")
        results = find_window("^Testing results", 30)
        if not check(results is not None, "results window opens at the end of the fast test"):
            return
        time.sleep(0.5)  # let the chart finish its first paint before the picture
        screenshot(results, "results.png")
        screenshot(main, "main-after-fast-test.png")
        r = report(path)
        if check(r is not None, "report reads the file"):
            check(r["mode"] == "fast", "mode fast, got %s" % r["mode"])
            check(r["complete"] is True, "file complete")
            check(r["forecast_line"] is not None and r["forecast_line"] > 0, "forecast line %s" % r["forecast_line"])
            check(r["samples"] >= 4, "at least four samples, got %d" % r["samples"])
        focus(results)
        xdo("key", "Escape")
        check(wait_for(lambda: find_window("^Testing results", 0) is None, 10), "Escape closes the results window")
        proc.send_signal(signal.SIGTERM)
        check(proc.wait(10) == 0, "SIGTERM with no test running: the program quits cleanly")
        check(autostart_entries(env) == [], "no autostart entry without a test")
    finally:
        stop(proc)


def case_sigterm(tmp, sig=signal.SIGTERM):
    name = signal.Signals(sig).name
    env = fresh_env(tmp)
    path = os.path.join(tmp, "normal run $HOME 100%.apr")
    proc = start_program(env, "--power-source", "sim:2")
    try:
        main = find_window(MAIN_TITLE)
        if not check(main is not None, "main window shows"):
            return
        if not start_test_from_menu(main, "n", path):
            return
        if not check(wait_for(lambda: samples_in(path) >= 2, 10), "samples are written during the test"):
            return
        testing = find_window("^fTestProcess", 5)
        if sig == signal.SIGTERM and check(testing is not None, "the testing window shows"):
            pictures = set()
            for _ in range(4):
                pictures.add(grab(testing))
                time.sleep(0.13)
            # The elapsed time alone would make two different pictures at most.
            check(len(pictures) > 2, "the busy animation plays: %d different pictures of 4" % len(pictures))
        proc.send_signal(sig)
        code = exit_code(proc)
        check(code == 0, "%s ends the program cleanly during a test (exit %s)" % (name, code))
        r = report(path)
        if check(r is not None, "report reads the file"):
            check(r["complete"] is True, "file complete after " + name)
            check(r["mode"] == "normal", "mode normal")
        entries = autostart_entries(env)
        if not check(len(entries) == 1, "one autostart entry: %s" % entries):
            return
        exec_value = entry_exec(entries[0])
        argv = desktop_exec_argv(exec_value or "")
        named = urllib.parse.unquote_to_bytes(argv[1][len("file://"):]) if len(argv) == 2 else b""
        check(len(argv) == 2 and argv[1].startswith("file:///") and named == os.fsencode(path),
              "Exec names the program and the file as a URL: %r" % argv)
    finally:
        stop(proc)

    again = subprocess.Popen(argv, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    try:
        results = find_window("^Testing results", 20)
        if check(results is not None, "started from the entry, the program opens the results"):
            screenshot(results, "results-after-%s.png" % name.lower())
        check(wait_for(lambda: autostart_entries(env) == [], 5), "the run-once entry is gone")
    finally:
        stop(again)


def case_terminal(tmp):
    env = fresh_env(tmp)
    path = os.path.join(tmp, "terminal.apr")
    proc = start_program(env, "--run", "normal", "--no-load", "--power-source", "sim:2", "--output", path)
    try:
        check(wait_for(lambda: samples_in(path) >= 2, 15), "terminal test writes samples")
        proc.send_signal(signal.SIGTERM)
        code = exit_code(proc)
        check(code == 1, "SIGTERM interrupts the terminal test: exit %s" % code)
    finally:
        stop(proc)
    r = report(path)
    if check(r is not None, "report reads the file"):
        check(r["complete"] is True, "file complete after SIGTERM")
    check(autostart_entries(env) == [], "no autostart entry in the terminal mode")


def case_ghost(tmp):
    env = fresh_env(tmp)
    fast = os.path.join(tmp, "fast.apr")
    normal = os.path.join(tmp, "normal.apr")
    proc = start_program(env, "--power-source", "sim:1")
    try:
        main = find_window(MAIN_TITLE)
        if not check(main is not None, "main window shows"):
            return
        if not start_test_from_menu(main, "f", fast):
            return
        results = find_window("^Testing results", 30)
        if not check(results is not None, "results window opens at the end of the fast test"):
            return
        focus(results)
        xdo("key", "Escape")
        check(wait_gone("^Testing results"), "Escape closes the results window")
        time.sleep(0.5)
        # The chart takes the upper part of the main window.
        before = os.path.join(OUT, "ghost-1-after-fast-test.png")
        if not screenshot(main, os.path.basename(before)):
            return
        line = count_pixels(before, forecast_blue, 0.6)
        if not check(line >= 20, "the fast test's forecast line shows (%d pixels)" % line):
            return
        if not start_test_from_menu(main, "n", normal):
            return
        if not check(wait_for(lambda: samples_in(normal) >= 3, 10), "the normal test writes samples"):
            return
        time.sleep(0.5)
        during = os.path.join(OUT, "ghost-2-during-normal-test.png")
        if screenshot(main, os.path.basename(during)):
            left = count_pixels(during, forecast_blue, 0.6)
            check(left == 0, "nothing of the old forecast line during the new test (%d pixels)" % left)
    finally:
        stop(proc)


class VersionFile(http.server.BaseHTTPRequestHandler):
    """The update server: the running version, so the program says there is
    no update."""
    def do_GET(self):
        body = bytes((1, 1, 1, 23, 0))
        self.send_response(200 if self.path == "/update/ampero.ver" else 404)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def case_titles(tmp):
    """Each window's title on the X server, as the window manager and the
    task bar show it."""
    server = http.server.HTTPServer(("127.0.0.1", 0), VersionFile)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    env = fresh_env(tmp)
    env["AMPERO_UPDATE_HOST"] = "127.0.0.1:%d" % server.server_address[1]
    path = os.path.join(tmp, "titles.apr")
    proc = start_program(env, "--power-source", "sim:1")
    names = []

    def seen(title_regex, expected, seconds=20):
        wid = find_window(title_regex, seconds)
        name = window_name(wid) if wid else None
        names.append("%s\t%s" % (expected, name))
        check(name == expected, "window title %r, expected %r" % (name, expected))
        return wid

    try:
        main = seen(MAIN_TITLE, "Orvex Ampero 1.1")
        if main is None:
            return
        focus(main)
        xdo("key", "shift+F1")
        if seen("^About", "About...") is not None:
            xdo("key", "Escape")
            wait_gone("^About")
        focus(main)
        xdo("key", "--delay", "150", "alt+h", "Down", "Return")  # Help > Check for updates...
        if seen("^Update", "Update") is not None:
            xdo("key", "Return")
            wait_gone("^Update")
        focus(main)
        xdo("key", "--delay", "100", "alt+t", "f")
        start = seen("^Start a test", "Start a test")
        if start is None:
            return
        focus(start)
        xdo("key", "--delay", "100", "Tab", "space")  # Cancel has the focus: Tab to "Start test"
        save = seen("^Save report", "Save report")
        if save is None:
            return
        focus(save)
        xdo("key", "ctrl+a")
        xdo("type", "--delay", "10", path)
        xdo("key", "Return")
        seen("^fTestProcess", "fTestProcess", 10)
        results = seen("^Testing results", "Testing results", 30)
        if results is not None:
            focus(results)
            xdo("key", "Escape")
    finally:
        with open(os.path.join(OUT, "window-titles.txt"), "w", encoding="utf-8") as f:
            f.write("expected\tX window name\n" + "".join(n + "\n" for n in names))
        stop(proc)
        server.shutdown()


def terminal_run(env, path, *extra):
    return start_program(env, "--run", "normal", "--no-load", "--power-source", "sim:2", "--output", path, *extra)


def case_hup(tmp):
    env = fresh_env(tmp)
    path = os.path.join(tmp, "hup.apr")
    proc = terminal_run(env, path)
    try:
        check(wait_for(lambda: samples_in(path) >= 2, 15), "terminal test writes samples")
        proc.send_signal(signal.SIGHUP)
        code = exit_code(proc)
        check(code == 1, "SIGHUP interrupts the terminal test like SIGTERM: exit %s" % code)
    finally:
        stop(proc)
    r = report(path)
    if check(r is not None, "report reads the file"):
        check(r["complete"] is True, "file complete after SIGHUP")


def case_pipe(tmp):
    env = fresh_env(tmp)
    path = os.path.join(tmp, "piped.apr")
    shell = subprocess.run(["bash", "-c", '"$0" --run fast --no-load --power-source sim:1 --output "$1" | head -n 2;'
                            ' echo "${PIPESTATUS[0]}"', PROGRAM, path],
                           env=env, capture_output=True, text=True, timeout=60)
    lines = shell.stdout.splitlines()
    check(len(lines) == 3, "head printed its two lines: %r" % lines)
    check(lines[-1:] == ["0"], "a closed output does not end the test: exit %r" % lines[-1:])
    r = report(path)
    if check(r is not None, "report reads the file"):
        check(r["complete"] is True, "file complete after its regular end")
        check(r["forecast_line"] is not None, "the fast test ran to its third level change")


def case_empty(tmp):
    """A normal terminal test on the simulated battery ends by itself: at
    empty the simulated laptop suspends, as a laptop does."""
    env = fresh_env(tmp)
    path = os.path.join(tmp, "empty.apr")
    run = subprocess.run([PROGRAM, "--run", "normal", "--no-load", "--power-source", "sim:1,level=12",
                          "--output", path], env=env, capture_output=True, text=True, timeout=60)
    check(run.returncode == 0, "the test ends as regular at empty: exit %s, %r" % (run.returncode, run.stderr))
    r = report(path)
    if check(r is not None, "report reads the file"):
        check(r["complete"] is True, "file complete")
        check(10 <= r["samples"] <= 14, "about 12 seconds of samples, got %d" % r["samples"])


def case_diskfull(tmp):
    shim = os.environ.get("AMPERO_FAULT_SHIM", "")
    if not check(os.path.exists(shim), "the fault shim is there: %r" % shim):
        return
    env = fresh_env(tmp)
    path = os.path.join(tmp, "full.apr")
    env.update({"LD_PRELOAD": shim, "AMPERO_FAULT_TARGET": "/full.apr", "AMPERO_FAULT_WRITE_LIMIT": str(HEADER + 2)})
    started = time.monotonic()
    run = subprocess.run([PROGRAM, "--run", "normal", "--no-load", "--power-source", "sim:1", "--output", path],
                         env=env, capture_output=True, text=True, timeout=60)
    took = time.monotonic() - started
    check(run.returncode == 4, "a full disk ends the terminal test with exit 4 (got %s)" % run.returncode)
    check(run.stderr.count("\n") == 1 and "No space left on device" in run.stderr, "one line why: %r" % run.stderr)
    check(took < 5, "at once, not by the 5-second rule (%.1f s)" % took)
    text = subprocess.run([PROGRAM, "--report", path], capture_output=True, text=True, timeout=30)
    check("incomplete" in text.stdout, "the report says the file is incomplete")

    # The window: the same full disk, the error shown, "testing interrupted".
    env = fresh_env(tmp)
    window_path = os.path.join(tmp, "window full.apr")
    env.update({"LD_PRELOAD": shim, "AMPERO_FAULT_TARGET": "/window full.apr",
                "AMPERO_FAULT_WRITE_LIMIT": str(HEADER + 2)})
    proc = start_program(env, "--power-source", "sim:1")
    try:
        main = find_window(MAIN_TITLE)
        if not check(main is not None, "main window shows"):
            return
        if not start_test_from_menu(main, "n", window_path):
            return
        error = find_window("^Orvex Ampero$", 15)
        if check(error is not None, "the write error is shown"):
            screenshot(error, "disk-full-error.png")
            focus(error)
            xdo("key", "Return")
        time.sleep(1)
        check(find_window("^Testing results", 0) is None, "no results window for a failed test")
        check(find_window("^fTestProcess", 0) is None, "the testing window is closed")
        r = report(window_path)
        if check(r is not None, "report reads the file"):
            check(r["complete"] is False and r["samples"] == 2, "incomplete, with the two samples on disk")
    finally:
        stop(proc)


def case_locks(tmp):
    if shutil.which("dbus-daemon") is None or subprocess.run(
            [sys.executable, "-c", "import dbusmock"], capture_output=True).returncode != 0:
        print("dbus-daemon or python3-dbusmock missing; skipping the locks case")
        return
    daemon = subprocess.Popen(["dbus-daemon", "--session", "--print-address=1", "--nofork"],
                              stdout=subprocess.PIPE, text=True)
    address = daemon.stdout.readline().strip()
    env = fresh_env(tmp)
    env["DBUS_SYSTEM_BUS_ADDRESS"] = address
    mock_env = dict(env, DBUS_SESSION_BUS_ADDRESS=address)
    mock = subprocess.Popen([sys.executable, "-m", "dbusmock", "--system", "--template", "logind"], env=mock_env)

    def ours():
        r = subprocess.run(["gdbus", "call", "--address", address, "--dest", "org.freedesktop.login1",
                            "--object-path", "/org/freedesktop/login1",
                            "--method", "org.freedesktop.login1.Manager.ListInhibitors"],
                           capture_output=True, text=True, timeout=10)
        return r.stdout.count("Orvex Ampero") if r.returncode == 0 else -1

    proc = None
    try:
        if not check(wait_for(lambda: ours() == 0, 15), "logind's mock answers"):
            return
        path = os.path.join(tmp, "locks.apr")
        proc = start_program(env, "--power-source", "sim:1")
        main = find_window(MAIN_TITLE)
        if not check(main is not None, "main window shows"):
            return
        if not start_test_from_menu(main, "f", path):
            return
        check(wait_for(lambda: ours() == 2, 10), "the idle and the delay lock are held during the test")
        results = find_window("^Testing results", 30)
        if not check(results is not None, "results window opens at the end of the fast test"):
            return
        check(wait_for(lambda: ours() == 0, 5), "no lock is held while the results window is open")
        check(find_window("^Testing results", 0) is not None, "the results window is still open")
        focus(results)
        xdo("key", "Escape")
    finally:
        if proc is not None:
            stop(proc)
        mock.terminate()
        mock.wait(10)
        daemon.terminate()
        daemon.wait(10)


def main():
    if shutil.which("xdotool") is None:
        print("xdotool is not installed; skipping")
        return 77
    os.makedirs(OUT, exist_ok=True)
    for name in CASES:
        print("== " + name, flush=True)
        with tempfile.TemporaryDirectory(prefix="ampero-e2e-") as tmp:
            {"fast": case_fast, "sigterm": case_sigterm, "sigint": lambda tmp: case_sigterm(tmp, signal.SIGINT),
             "terminal": case_terminal, "ghost": case_ghost,
             "titles": case_titles, "hup": case_hup, "pipe": case_pipe, "empty": case_empty, "diskfull": case_diskfull,
             "locks": case_locks}[name](tmp)
    if failures:
        print("%d failure(s)" % len(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
