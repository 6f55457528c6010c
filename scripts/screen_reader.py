#!/usr/bin/python3
"""Runs Tarnwick and Obrelle against the simulated station line under the Orca screen reader,
headless, and fails when something a screen reader user must hear is not spoken.

Usage: scripts/screen_reader.py BUILD_DIR   (scripts/test-screen-reader builds one first)
  SR_LOGS=DIR keeps each scenario's speech and Orca's debug log in DIR.
  SR_ATTEMPTS=N runs a scenario up to N times before it fails (default 2).
  SR_SCENARIOS="NAME..." runs only those (the names in SCENARIOS below); SR_TRACE=1 shows
  each step and check as it runs.

Xvfb gives the display, dbus-run-session a session bus, at-spi-bus-launcher the
accessibility bus; speech-dispatcher's generic module appends every utterance, one a line,
to a file (no sound device is needed); xdotool types the keys. Each scenario starts a fresh
Orca, the station line (the simulator, or a feeder that sends fixed text) and the program in
a folder of its own, sends its keys a little over a second apart (Orca needs the time to
speak), stops Orca and checks the speech: each "expect" must match a later utterance than
the one before it, no "refuse" may match any, a "count" bounds how many may match. A
scenario that fails is run once more before the script fails, so that a slow start on a
loaded machine does not fail CI. Runs under /usr/bin/python3, whose pyatspi reads the
terminal's accessible text.
"""
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ left in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
import demo  # noqa: E402

PYTHON = "/usr/bin/python3"
PAUSE = 1.2  # seconds between keys: Orca speaks each before the next

TARNWICK = ("pagesetup/Tarnwick", "Velgrin Pager Setup")
OBRELLE = ("terminal/Obrelle", "Velgrin Terminal Program")
FEEDER = "feeder"                # the line: sends two lines and a long one, see feeder()
LINE_FEED = "\u240a|line feed"   # the line feed symbol, shown or named
PROGRESS = "[0-9]+ [A-Za-z /]+ sent to pager interface"

# Each scenario: the program (its path in the build and its caption), the line (the
# simulator's arguments, or FEEDER), station 1's file with `inputs` inputs if any, the steps
# once the window has the focus, and the checks of what Orca said.
#   steps:  ("keys", "KEY ..."), ("sleep", S), ("wait", REGEX, S) (until an utterance
#           matches, at most S seconds), ("go",) (the feeder sends), ("read_terminal",)
#   checks: ("expect", REGEX[, WHAT]), ("refuse", REGEX[, WHAT]), ("count", REGEX, LOW,
#           HIGH[, WHAT]), ("terminal", TEXT, WHAT) (the accessible text read_terminal got)
SCENARIOS = {
    "tarnwick_tabs": dict(
        program=TARNWICK,
        # Exit has the focus: Tab to Send Data, Save Data, the tab strip; the four tab keys;
        # Tab to the port and to the first baud option.
        steps=[("keys", "Tab Tab Tab ctrl+Tab ctrl+Next ctrl+Prior ctrl+shift+Tab Tab Tab")],
        checks=[
            ("expect", "^" + TARNWICK[1], "the window's caption"),
            ("expect", "Save Data push button"),
            ("expect", "Communications.*page tab|page tab.*Communications", "the current tab, on tabbing onto the strip"),
            ("expect", "Pager Mode", "Ctrl+Tab"),
            ("expect", "General Info", "Ctrl+Page Down"),
            ("expect", "Pager Mode", "Ctrl+Page Up"),
            ("expect", "Communications.*page tab|page tab.*Communications", "Ctrl+Shift+Tab"),
            ("expect", "Communications Port", "the port, after Tab"),
            ("expect", "radio button", "the first baud option"),
            ("count", "(^|[^0-9])1200([^0-9]|$)", 1, 1, "utterances naming 1200"),
            ("refuse", "1200[^0-9]+1200", "the baud option's name twice"),
        ]),
    "tarnwick_send": dict(
        program=TARNWICK,
        inputs=60,
        steps=[
            ("keys", "Tab space"),  # Send Data: 60 inputs take 19 s
            ("sleep", 3),
            ("keys", "space"),      # again during the send: refused, and the focus stays
            ("wait", "Page data sent to pager interface|Error in sending data|Failure communicating", 40),
            ("sleep", 1.5),
        ],
        checks=[
            ("expect", "Send Data push button"),
            ("expect", "Connection established with pager station 1", "the connection"),
            ("expect", "Waiting for pager to clear its memory", "the memory-clear wait"),
            ("expect", PROGRESS, "a progress text"),
            ("expect", "Page data sent to pager interface", "the outcome"),
            ("count", "Connection established", 1, 1),
            ("count", "Page data sent to pager interface", 1, 1),
            ("count", PROGRESS, 1, 2, "progress texts in 19 s"),
            ("refuse", "Save Data", "the focus on Save Data during the send"),
        ]),
    "tarnwick_failures": dict(
        program=TARNWICK,
        # The station does not answer the first send's two calls; the second send gets no final ACK.
        line=["--fault", "no-answer=2", "--fault", "no-final-ack"],
        steps=[
            ("keys", "Tab space"),
            ("wait", "Failure communicating with station 1", 30),
            ("sleep", 1),
            ("keys", "space"),
            ("wait", "Error in sending data", 30),
            ("sleep", 1.5),
        ],
        checks=[
            ("expect", "Failure communicating with station 1", "the failed connection"),
            ("expect", "Connection established with pager station 1", "the second send's connection"),
            ("expect", "Error in sending data", "the unacknowledged download"),
            ("count", "Failure communicating", 1, 1),
            ("count", "Error in sending data", 1, 1),
        ]),
    "obrelle_logon": dict(
        program=OBRELLE,
        steps=[
            # The terminal text has the focus: back to the station box, station 2, Alt+L.
            ("keys", "shift+Tab shift+Tab shift+Tab 2 alt+l"),
            ("wait", "STATION 02>", 15),
            ("sleep", 1),
            ("keys", "h e l p Return"),
            ("wait", "COMMANDS: HELP STATUS INPUTS EXIT", 10),
            ("sleep", 1.5),
        ],
        checks=[
            ("expect", "Connection established with station 2 Boiler room", "the log-on caption"),
            ("expect", "VELGRIN CONTROL PANEL - STATION 2 Boiler room", "the station's greeting"),
            ("expect", "STATION 02>", "the prompt"),
            ("expect", "COMMANDS: HELP STATUS INPUTS EXIT", "the reply to HELP"),
            ("count", "Connection established", 1, 1),
            ("refuse", LINE_FEED, "the line feed symbol"),
        ]),
    "obrelle_long_line": dict(
        program=OBRELLE,
        line=FEEDER,
        steps=[("go",), ("wait", "LINE TEXT", 10), ("sleep", 1), ("read_terminal",)],
        checks=[
            ("expect", "FIRST LINE", "the first line, as it arrives"),
            ("expect", "LINE TEXT LINE TEXT", "the long line, as it arrives"),
            ("refuse", LINE_FEED, "the line feed symbol"),
            # A break for each CR, none where the display wraps the long line.
            ("terminal", "FIRST LINE\nSECOND LINE\n" + " ".join(["LINE TEXT"] * 300), "the three lines received"),
        ]),
}


class Failed(Exception):
    """A step that could not be done: the scenario did not run to its end."""


def trace(*what):
    if os.environ.get("SR_TRACE"):
        print("+", *what, file=sys.stderr, flush=True)


def lines(text):
    """The lines of TEXT as grep sees them: split at line feeds only."""
    parts = text.split("\n")
    if parts[-1] == "":
        parts.pop()
    return parts


def station_file(site, n):
    """pagcfg01.dat for station 1 with N inputs, each with a pager."""
    rows = ["13", "1200", " 1 ", " 4 ", " 0 ", str(n), "0", "4", " ", " "]
    rows += [str(1000 + i) for i in range(1, n + 1)]
    rows += ["%8s" % f"IN{i}" for i in range(1, n + 1)]
    rows += [" 1 "] * (n + 1)
    rows += ["    "] * 96
    rows += ['"%25s"' % ""] * 16
    with open(os.path.join(site, "pagcfg01.dat"), "wb") as f:
        f.write("".join(row + "\r\n" for row in rows).encode("ascii"))


class Session:
    """The scenarios, inside the session bus, with speech-dispatcher writing to self.speech."""

    def __init__(self, build, work):
        self.build, self.work = build, work
        self.speech = os.path.join(work, "speech.txt")
        self.logs = os.environ.get("SR_LOGS") or None
        self.name = self.site = self.orca = self.line = self.app = None
        self.first = 0

    def heard(self):
        """This scenario's utterances so far."""
        with open(self.speech, encoding="utf-8", errors="replace") as f:
            text = f.read()
        return lines(text)[self.first:]

    def wait_for(self, regex, seconds):
        """Whether an utterance of this scenario matched REGEX within SECONDS."""
        deadline = time.monotonic() + seconds
        while not any(re.search(regex, line) for line in self.heard()):
            if time.monotonic() >= deadline:
                return False
            time.sleep(0.2)
        return True

    def log(self, name):
        return open(os.path.join(self.site, name), "wb")

    # ---- one scenario's parts ----

    def begin(self, name):
        """A fresh folder holding the demo site, and a fresh Orca."""
        self.name, self.site = name, os.path.join(self.work, name)
        shutil.rmtree(self.site, ignore_errors=True)
        demo.prepare(self.site)
        with open(self.speech, "rb") as f:
            self.first = f.read().count(b"\n")
        with self.log("orca.out") as out:
            self.orca = subprocess.Popen(["orca", "--replace", f"--debug-file={self.site}/orca.log"],
                                         stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT)
        if not self.wait_for("^Screen reader on", 30):
            raise Failed("Orca did not start")
        time.sleep(0.5)

    def start_line(self, line):
        if line == FEEDER:
            with self.log("feeder.log") as out:
                self.line = subprocess.Popen([PYTHON, os.path.abspath(__file__), "--feeder", self.site],
                                             stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT)
            if not demo.wait_for_link(self.site, self.line):
                raise Failed("the feeder did not start")
        else:
            with self.log("sim.log") as out:
                try:
                    self.line = demo.start_simulator(self.build, self.site, *line, output=out)
                except RuntimeError as e:
                    raise Failed(str(e)) from None

    def start(self, program, title):
        """Starts PROGRAM in the folder and gives its window, captioned TITLE, the focus."""
        with self.log("program.log") as out:
            self.app = subprocess.Popen([os.path.join(self.build, program)], cwd=self.site,
                                        stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT)
        try:
            found = subprocess.run(["xdotool", "search", "--sync", "--name", title],
                                   capture_output=True, text=True, timeout=20).stdout.split()
        except subprocess.TimeoutExpired:
            found = []
        if not found:
            raise Failed(f'the window "{title}" did not appear')
        if subprocess.run(["xdotool", "windowfocus", "--sync", found[0]]).returncode != 0:
            raise Failed(f'the window "{title}" did not take the focus')
        time.sleep(2)

    def step(self, kind, *args):
        trace(kind, *args)
        if kind == "keys":
            for key in args[0].split():
                if subprocess.run(["xdotool", "key", key]).returncode != 0:
                    raise Failed(f"xdotool did not send {key}")
                time.sleep(PAUSE)
        elif kind == "sleep":
            time.sleep(args[0])
        elif kind == "wait":
            self.wait_for(*args)  # what did not come, the checks report
        elif kind == "go":
            open(os.path.join(self.site, "go"), "w").close()
        elif kind == "read_terminal":
            text = subprocess.run([PYTHON, os.path.abspath(__file__), "--terminal-text"],
                                  capture_output=True).stdout
            with self.log("terminal.txt") as f:
                f.write(text)
        else:
            raise ValueError(f"no step {kind}")

    def play(self, name, scenario):
        trace("begin", name, scenario.get("line", []), scenario["program"][0])
        self.begin(name)
        self.start_line(scenario.get("line", []))
        if scenario.get("inputs"):
            station_file(self.site, scenario["inputs"])
        self.start(*scenario["program"])
        for step in scenario["steps"]:
            self.step(*step)

    def end(self):
        """Stops Orca, then the program and the line; returns and keeps the scenario's speech."""
        if self.orca:
            # Orca says "Screen reader off" and writes out its debug log; one that hangs is killed.
            demo.stop(self.orca, 10)
        for process in (self.app, self.line):
            if process:
                demo.stop(process)
        self.orca = self.app = self.line = None
        heard = self.heard()
        with open(os.path.join(self.site, "speech.txt"), "w", encoding="utf-8") as f:
            f.write("".join(line + "\n" for line in heard))
        if self.logs:
            shutil.copy(os.path.join(self.site, "speech.txt"), os.path.join(self.logs, f"{self.name}.speech.txt"))
            try:
                shutil.copy(os.path.join(self.site, "orca.log"), os.path.join(self.logs, f"{self.name}.orca.log"))
            except OSError:
                pass
        return heard

    def check(self, heard, checks):
        """What the checks find wrong with HEARD, one line each."""
        report = []
        matched = 0  # an expect looks after the utterance the one before it matched
        for kind, regex, *rest in checks:
            trace(kind, repr(regex[:60]), *rest)
            if kind == "expect":
                at = next((i for i in range(matched, len(heard)) if re.search(regex, heard[i])), None)
                if at is None:
                    report.append(f"    missing: {rest[0] if rest else regex}")
                else:
                    matched = at + 1
            elif kind == "refuse":
                said = next((line for line in heard if re.search(regex, line)), None)
                if said is not None:
                    report.append(f"    heard: {rest[0] if rest else regex}: {said}")
            elif kind == "count":
                low, high, *what = rest
                n = sum(1 for line in heard if re.search(regex, line))
                if not low <= n <= high:
                    report.append(f"    {what[0] if what else regex}: {n} utterances, expected {low} to {high}")
            elif kind == "terminal":
                with open(os.path.join(self.site, "terminal.txt"), encoding="utf-8", errors="replace") as f:
                    text = f.read().rstrip("\n")
                if text.removesuffix(" ") != regex:
                    report.append(f"    the terminal's accessible text is not {rest[0]}; it has "
                                  f"{text.count(chr(10))} breaks and {len(text.encode())} bytes")
            else:
                raise ValueError(f"no check {kind}")
        return report

    def run(self, name, attempts):
        """Plays scenario NAME and checks its speech, up to ATTEMPTS times; whether it passed."""
        scenario = SCENARIOS[name]
        for attempt in range(1, attempts + 1):
            t0 = time.monotonic()
            report = []
            try:
                self.play(name, scenario)
            except Failed as e:
                print(f"  {e}", file=sys.stderr, flush=True)
                report.append("    the scenario did not run to its end")
            finally:
                heard = self.end()
            if not report:
                report = self.check(heard, scenario["checks"])
            took = int(time.monotonic() - t0)
            if not report:
                print(f"screen reader: {name} ok ({took} s)")
                return True
            print(f"screen reader: {name}, attempt {attempt} of {attempts}, failed ({took} s):")
            print("\n".join(report))
            print("  what Orca said:")
            for line in heard:
                print(f"    | {line}")
        return False


# Speech into a file: libao's null driver for the sound output speech-dispatcher opens, and
# a generic module whose "synthesis" appends the text, on one line, to the file.
SPEECHD_CONF = """AudioOutputMethod "libao"
AddModule "capture" "sd_generic" "capture.conf"
DefaultModule capture
"""
CAPTURE_CONF = """GenericExecuteSynth "{ printf '%s' \\'$DATA\\' | tr '\\\\n' ' '; echo; } >>SPEECH"
GenericMaxChunkLength 100000
GenericDelimiters "\\x1f"
GenericLanguage "en" "en" "utf-8"
AddVoice "en" "MALE1" "en"
"""


def in_session(build, work, names, attempts):
    home = os.path.join(work, "home")
    os.environ.update(HOME=home, XDG_CONFIG_HOME=f"{home}/.config", XDG_DATA_HOME=f"{home}/.local/share",
                      XDG_CACHE_HOME=f"{home}/.cache", XDG_RUNTIME_DIR=f"{work}/runtime",
                      QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb", NO_AT_BRIDGE="0", GTK_MODULES="")
    config = os.path.join(os.environ["XDG_CONFIG_HOME"], "speech-dispatcher")
    for folder in (f"{config}/modules", os.environ["XDG_DATA_HOME"], os.environ["XDG_CACHE_HOME"],
                   os.environ["XDG_RUNTIME_DIR"]):
        os.makedirs(folder, exist_ok=True)
    os.chmod(os.environ["XDG_RUNTIME_DIR"], 0o700)
    session = Session(build, work)
    if session.logs:
        os.makedirs(session.logs, exist_ok=True)
    open(session.speech, "w").close()
    for path, text in ((f"{home}/.libao", "default_driver=null\n"),
                       (f"{config}/speechd.conf", SPEECHD_CONF),
                       (f"{config}/modules/capture.conf", CAPTURE_CONF.replace("SPEECH", session.speech))):
        with open(path, "w") as f:
            f.write(text)

    helpers = []
    try:
        for command, log in ((["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], "at-spi.log"),
                             (["speech-dispatcher", "-s", "-t", "0"], "speechd.log")):
            with open(os.path.join(work, log), "wb") as out:
                helpers.append(subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=out,
                                                stderr=subprocess.STDOUT))
        t0 = time.monotonic()
        failures = [name for name in names if not session.run(name, attempts)]
        print(f"screen reader: {int(time.monotonic() - t0)} s in all")
        if failures:
            print(f"screen reader: failed: {' '.join(failures)}", file=sys.stderr)
            return 1
        return 0
    finally:
        for helper in helpers:
            demo.stop(helper)


def start_display(log):
    """Starts Xvfb on a free display number, which it tells through a pipe: (process, number)."""
    r, w = os.pipe()
    with open(log, "wb") as out:
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT, pass_fds=(w,))
    os.close(w)
    said = b""
    deadline = time.monotonic() + 10
    while not said.endswith(b"\n") and select.select([r], [], [], max(0, deadline - time.monotonic()))[0]:
        chunk = os.read(r, 64)
        if not chunk:
            break
        said += chunk
    os.close(r)
    return xvfb, said.strip().decode()


def main(argv):
    sys.stdout.reconfigure(line_buffering=True)
    if argv[1:2] == ["--feeder"]:
        return feeder(argv[2])
    if argv[1:2] == ["--terminal-text"]:
        return terminal_text()
    if argv[1:2] == ["--in-session"]:
        names = os.environ.get("SR_SCENARIOS", "").split() or list(SCENARIOS)
        return in_session(argv[2], argv[3], names, int(os.environ.get("SR_ATTEMPTS", "2")))
    if len(argv) != 2:
        print("usage: scripts/screen_reader.py BUILD_DIR", file=sys.stderr)
        return 2
    unknown = [name for name in os.environ.get("SR_SCENARIOS", "").split() if name not in SCENARIOS]
    if unknown:
        print(f"test-screen-reader: no scenario {' '.join(unknown)}; there are {' '.join(SCENARIOS)}", file=sys.stderr)
        return 2
    build = os.path.realpath(argv[1])
    for program in (TARNWICK[0], OBRELLE[0], "sim/stationsim"):
        if not os.access(os.path.join(build, program), os.X_OK):
            print(f"test-screen-reader: {build}/{program} is missing", file=sys.stderr)
            return 2
    work = tempfile.mkdtemp()
    xvfb = None
    try:
        # A display of its own, a session bus of its own.
        xvfb, display = start_display(os.path.join(work, "xvfb.log"))
        if not display:
            print("test-screen-reader: Xvfb did not start", file=sys.stderr)
            with open(os.path.join(work, "xvfb.log"), errors="replace") as f:
                sys.stderr.write(f.read())
            return 1
        env = dict(os.environ, DISPLAY=f":{display}")
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        env.pop("AT_SPI_BUS_ADDRESS", None)
        return subprocess.run(["dbus-run-session", "--", PYTHON, os.path.abspath(__file__), "--in-session", build, work],
                              env=env).returncode
    finally:
        if xvfb:
            demo.stop(xvfb)
        shutil.rmtree(work, ignore_errors=True)


# ---- the two helpers that run as processes of their own ----

def feeder(site):
    """A station line that sends, once SITE/go exists, two CR LF lines and then a line of
    3000 characters without CR; it reads and drops what the program sends."""
    master, slave = os.openpty()
    os.symlink(os.ttyname(slave), os.path.join(site, "com1"))
    while not os.path.exists(os.path.join(site, "go")):
        time.sleep(0.05)
    os.write(master, b"FIRST LINE\r\nSECOND LINE\r\n" + b"LINE TEXT " * 300)
    while True:
        try:
            os.read(master, 4096)
        except OSError:
            time.sleep(0.1)


def terminal_text():
    """Prints the text of Obrelle's terminal area as AT-SPI gives it to a screen reader."""
    import pyatspi

    def terminal(obj):
        if obj.getRole() == pyatspi.ROLE_TERMINAL or obj.name == "Terminal text":
            return obj
        for i in range(obj.childCount):
            found = terminal(obj.getChildAtIndex(i))
            if found:
                return found
        return None

    for app in pyatspi.Registry.getDesktop(0):
        if app and app.name == "Obrelle":
            found = terminal(app)
            if found:
                sys.stdout.write(found.queryText().getText(0, -1))
                return 0
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
