# SPDX-License-Identifier: GPL-3.0-or-later
"""The real upowerd over kernel power supplies simulated by umockdev.

Run under umockdev-wrapper (so that the uevents sent here reach upowerd):

    umockdev-wrapper /usr/bin/python3 upowertestbed.py

It makes a umockdev testbed and a private bus (a dbus-daemon of its own,
which stands in for the system bus), then prints one JSON line:

    {"bus": ADDRESS, "root": TESTBED_DIR, "work": WORK_DIR}

or {"skip": REASON} when umockdev's introspection data is missing. After
that it reads one JSON command per line from stdin and answers each with one
JSON line, {"ok": true, ...} or {"ok": false, "error": TEXT}:

    {"op": "add", "name": "BAT0", "attrs": {"type": "Battery", ...}}
        adds /sys/class/power_supply/NAME; with upowerd running, an "add"
        uevent tells it
    {"op": "set", "name": "BAT0", "attrs": {...}}
        writes the attributes, then sends a "change" uevent
        ("uevent": false writes them silently, as a kernel that says nothing)
    {"op": "burst", "name": "BAT0", "seconds": 3, "rate": 500, "attr": "energy_now", "values": [...]}
        "change" uevents after writing the next value; answers "uevents"
    {"op": "remove", "name": "BAT0"}    the device goes, with a "remove" uevent
    {"op": "start"}                     starts upowerd -r
    {"op": "stop"}                      stops upowerd (SIGTERM)

End of input stops upowerd and the bus and removes both folders. upowerd's
configuration, history and log (upowerd.log) are kept in WORK_DIR.
"""

import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

OPS = ("add", "set", "burst", "remove", "start", "stop")
UPOWERD_PATHS = ("/usr/libexec/upowerd", "/usr/lib/upower/upowerd", "/usr/lib/upowerd")

# The daemon's policy as Debian ships it, written out so the machine's own
# file does not matter. Low levels would only change the warning level; the
# critical action needs logind, which the private bus does not have.
CONFIG = """[UPower]
EnableWattsUpPro=false
NoPollBatteries=false
IgnoreLid=false
UsePercentageForPolicy=true
PercentageLow=20
PercentageCritical=5
PercentageAction=2
TimeLow=1200
TimeCritical=300
TimeAction=120
CriticalPowerAction=HybridSleep
"""


def answer(obj):
    sys.stdout.write(json.dumps(obj) + "\n")
    sys.stdout.flush()


def upowerd_path():
    for p in UPOWERD_PATHS:
        if os.access(p, os.X_OK):
            return p
    return shutil.which("upowerd")


class Bed:
    def __init__(self, testbed):
        self.testbed = testbed
        self.root = testbed.get_root_dir()
        self.devices = {}
        self.daemon = None
        self.work = tempfile.mkdtemp(prefix="ampero-upower-")
        env = dict(os.environ)
        env.pop("LD_PRELOAD", None)  # the bus itself needs no simulated devices
        self.bus = subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--print-address=1"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
        self.address = self.bus.stdout.readline().decode().strip()
        if not self.address:
            raise RuntimeError("dbus-daemon printed no address")
        with open(os.path.join(self.work, "UPower.conf"), "w") as f:
            f.write(CONFIG)
        self.log = open(os.path.join(self.work, "upowerd.log"), "w")

    def add(self, name, attrs, **_):
        if name in self.devices:
            raise RuntimeError("device %s exists already" % name)
        flat = []
        for k, v in attrs.items():
            flat += [k, str(v)]
        path = self.testbed.add_device("power_supply", name, None, flat, [])
        if not path:
            raise RuntimeError("umockdev could not add %s" % name)
        self.devices[name] = path
        if self.daemon:
            self.testbed.uevent(path, "add")
        return {"path": path}

    def set(self, name, attrs, uevent=True, **_):
        path = self.devices[name]
        for k, v in attrs.items():
            self.testbed.set_attribute(path, k, str(v))
        if uevent:
            self.testbed.uevent(path, "change")
        return {}

    def burst(self, name, seconds, rate, attr, values, **_):
        path = self.devices[name]
        start = time.monotonic()
        count = 0
        while time.monotonic() < start + seconds:
            self.testbed.set_attribute(path, attr, str(values[count % len(values)]))
            self.testbed.uevent(path, "change")
            count += 1
            time.sleep(max(0, start + count / rate - time.monotonic()))
        return {"uevents": count}

    def remove(self, name, **_):
        path = self.devices.pop(name)
        self.testbed.uevent(path, "remove")
        self.testbed.remove_device(path)
        return {}

    def start(self, **_):
        if self.daemon:
            raise RuntimeError("upowerd runs already")
        exe = upowerd_path()
        if not exe:
            raise RuntimeError("upowerd is not installed")
        env = dict(os.environ)
        env["UMOCKDEV_DIR"] = self.root
        env["DBUS_SYSTEM_BUS_ADDRESS"] = self.address
        env["UPOWER_CONF_FILE_NAME"] = os.path.join(self.work, "UPower.conf")
        env["UPOWER_HISTORY_DIR"] = self.work
        self.daemon = subprocess.Popen([exe, "-r", "-v"], env=env, stdout=self.log,
                                       stderr=subprocess.STDOUT)
        return {"pid": self.daemon.pid}

    def stop(self, **_):
        if self.daemon:
            self.daemon.send_signal(signal.SIGTERM)
            try:
                self.daemon.wait(10)
            except subprocess.TimeoutExpired:
                self.daemon.kill()
                self.daemon.wait()
            self.daemon = None
        return {}

    def close(self):
        self.stop()
        self.bus.terminate()
        self.bus.wait()
        self.log.close()
        shutil.rmtree(self.work, ignore_errors=True)


def main():
    try:
        import gi
        gi.require_version("UMockdev", "1.0")
        from gi.repository import UMockdev
    except (ImportError, ValueError) as e:
        answer({"skip": "umockdev's introspection data (gir1.2-umockdev-1.0) is missing: %s" % e})
        return 0
    if "umockdev" not in os.environ.get("LD_PRELOAD", ""):
        answer({"skip": "not started under umockdev-wrapper"})
        return 0
    if not upowerd_path():
        answer({"skip": "upowerd is not installed"})
        return 0

    bed = Bed(UMockdev.Testbed.new())
    answer({"bus": bed.address, "root": bed.root, "work": bed.work})
    try:
        for line in sys.stdin:
            line = line.strip()
            if not line:
                continue
            try:
                cmd = json.loads(line)
                if cmd.get("op") not in OPS:
                    raise ValueError("unknown op %r" % cmd.get("op"))
                reply = getattr(bed, cmd["op"])(**{k: v for k, v in cmd.items() if k != "op"})
                reply["ok"] = True
                answer(reply)
            except Exception as e:  # noqa: BLE001 - every failure goes back to the test
                answer({"ok": False, "error": "%s: %s" % (type(e).__name__, e)})
    finally:
        bed.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
