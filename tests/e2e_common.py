"""What the end-to-end drivers share: checks that are counted, waiting, and
stopping the program with what it said."""
import subprocess
import time

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)
    return ok


def wait_for(predicate, seconds, step=0.05):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return predicate()


def exit_code(proc, seconds=10):
    """The program's exit status, or None if it is still running after seconds."""
    try:
        return proc.wait(seconds)
    except subprocess.TimeoutExpired:
        return None


def stop(proc):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    out = proc.stdout.read() if proc.stdout else ""
    if out.strip():
        print("  program said: " + out.strip().replace("\n", "\n  "))
