#!/usr/bin/env python3
"""The demo site: a folder with a small site file, whose Com 1 is the simulated station line.

Usage: scripts/lib/demo.py [--quiet] BUILD_DIR FOLDER COMMAND [ARG...]
  sets FOLDER up, starts BUILD_DIR's simulator on it, runs COMMAND in FOLDER, stops the
  simulator when COMMAND ends and exits as COMMAND did. --quiet sends the simulator's
  output to FOLDER/sim.log instead of this terminal.
scripts/run and scripts/screenshot use it as a command, scripts/screen_reader.py as a module.
"""
import os
import signal
import subprocess
import sys
import time

# Names stations 1 to 4, so the terminal shows them; the setup program ignores the file.
SITE_FILE = (b'30,4,1,0,0,"Demo site",0,0\r\n'
             b'"Main entrance","Boiler room","Ward A","Ward B"\r\n'
             b'1,2,3,4\r\n0\r\n0\r\n1200,0,""\r\n')


def prepare(folder):
    """Writes the site file into FOLDER unless it has one: a user's own edits are kept."""
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, "config.dat")
    if not os.path.exists(path):
        with open(path, "wb") as f:
            f.write(SITE_FILE)


def wait_for_link(folder, line, seconds=5):
    """Whether LINE, a process, linked FOLDER/com1 in time; the programs look for Com 1
    only as they start, so they must not start before it."""
    link = os.path.join(folder, "com1")
    deadline = time.monotonic() + seconds
    while not os.path.islink(link):
        if line.poll() is not None or time.monotonic() > deadline:
            return False
        time.sleep(0.1)
    return True


def stop(process, seconds=5):
    """Ends PROCESS: politely, and after SECONDS for good."""
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(seconds)
        except subprocess.TimeoutExpired:
            process.kill()
    process.wait()


def start_simulator(build, folder, *args, output=None):
    """Starts the simulated station line as Com 1 of the demo site FOLDER and waits for its
    link. ARGS go to the simulator; its output goes to OUTPUT (a file), or to ours."""
    prepare(folder)
    link = os.path.join(folder, "com1")
    # One left by a simulator that was killed would pass for the new one; it replaces it anyway.
    if os.path.islink(link):
        os.unlink(link)
    sim = subprocess.Popen([os.path.join(build, "sim", "stationsim"), "--dir", folder, *args],
                           stdin=subprocess.DEVNULL, stdout=output,
                           stderr=subprocess.STDOUT if output else None)
    if not wait_for_link(folder, sim):
        stop(sim)
        raise RuntimeError("the simulator did not start")
    return sim


def main(argv):
    quiet = argv[1:2] == ["--quiet"]
    args = argv[2:] if quiet else argv[1:]
    if len(args) < 3:
        print(__doc__.split("\n\n")[1].split("\n")[0], file=sys.stderr)
        return 2
    build, folder, command = os.path.abspath(args[0]), os.path.abspath(args[1]), args[2:]
    os.makedirs(folder, exist_ok=True)
    log = open(os.path.join(folder, "sim.log"), "wb") if quiet else None
    try:
        sim = start_simulator(build, folder, output=log)
    except RuntimeError as e:
        print(f"demo: {e}" + (f"; see {log.name}" if log else ""), file=sys.stderr)
        return 1
    try:
        try:
            program = subprocess.Popen(command, cwd=folder)
        except OSError as e:
            print(f"demo: {e}", file=sys.stderr)
            return 127
        # Ctrl+C reaches the program too; being told to end, end it. Either way the
        # simulator is stopped once the program has ended.
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        for ending in (signal.SIGTERM, signal.SIGHUP):
            signal.signal(ending, lambda *_: program.terminate())
        status = program.wait()
    finally:
        stop(sim)
    return status if status >= 0 else 128 - status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
