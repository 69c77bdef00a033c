#!/usr/bin/python3
"""The real console read through the desktop's accessibility bus, as a
screen reader reads it: a private Xvfb, a private session bus with the
AT-SPI bus on it, varo-sim with the approval scenario, and Tellar with
accessibility on. Through pyatspi the test reads the entry fields' names,
the text of a box the console opens, and the status line after an approved
payment, and it listens for the events that announce them.

Usage: screen_reader_test.py TELLAR VARO_SIM SCENARIO_DIR
Exits 0 on success, 1 on a failed check, 77 when a tool is missing.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def wait_for(predicate, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.05)
    fail("timed out waiting for " + what)


def main():
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    tellar, varo_sim, scenarios = sys.argv[1:]
    for tool in ("Xvfb", "dbus-launch", "xdotool"):
        if not shutil.which(tool):
            print("SKIP: %s not installed" % tool)
            return SKIP
    bus_launcher = "/usr/libexec/at-spi-bus-launcher"
    if not os.path.exists(bus_launcher):
        print("SKIP: at-spi2-core not installed")
        return SKIP

    work = tempfile.mkdtemp(prefix="tellar-a11y-")
    children = []
    bus_pids = []

    def start(args, **kwargs):
        p = subprocess.Popen(args, **kwargs)
        children.append(p)
        return p

    try:
        # A display of our own. Xvfb picks a free number; another test's
        # Xvfb starting at the same moment can take it first, so a server
        # that does not answer is started again. What Xvfb says is kept: a
        # machine where it cannot run at all skips the test, as the other
        # X tests do, and says why.
        display = None
        xvfb_log_path = os.path.join(work, "xvfb.log")
        for attempt in range(5):
            if attempt:
                time.sleep(0.5)
            rfd, wfd = os.pipe()
            with open(xvfb_log_path, "a") as xvfb_log:
                xvfb = start(["Xvfb", "-displayfd", str(wfd), "-noreset", "-nolisten", "tcp",
                              "-screen", "0", "1024x768x24"],
                             pass_fds=(wfd,), stdout=xvfb_log, stderr=xvfb_log)
            os.close(wfd)
            number = os.read(rfd, 32).decode().strip()
            os.close(rfd)
            probe = dict(os.environ, DISPLAY=":" + number)
            deadline = time.monotonic() + 5
            while number and xvfb.poll() is None and time.monotonic() < deadline:
                if subprocess.run(["xdotool", "getdisplaygeometry"], env=probe,
                                  capture_output=True).returncode == 0:
                    display = number
                    break
                time.sleep(0.1)
            if display:
                break
            xvfb.terminate()
            xvfb.wait()
        if not display:
            with open(xvfb_log_path) as xvfb_log:
                said = xvfb_log.read().strip()
            print("SKIP: Xvfb does not start here:\n" + said)
            return SKIP
        env = dict(os.environ)
        env.update({
            "DISPLAY": ":" + display,
            "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "QT_ACCESSIBILITY": "1",
            "NO_AT_BRIDGE": "0",
            "TELLAR_KEYBOARD_LAYOUT": "other",
            "LC_ALL": "C.UTF-8",
            "XDG_RUNTIME_DIR": work,
        })
        subprocess.run(["setxkbmap", "-display", env["DISPLAY"], "-layout", "us"], check=False)

        # A session bus of our own, and the accessibility bus on it.
        out = subprocess.run(["dbus-launch", "--sh-syntax"], env=env, capture_output=True, text=True,
                             check=True).stdout
        for line in out.splitlines():
            if line.startswith("DBUS_SESSION_BUS_ADDRESS="):
                env["DBUS_SESSION_BUS_ADDRESS"] = line.split("=", 1)[1].rstrip(";").strip("'")
            elif line.startswith("DBUS_SESSION_BUS_PID="):
                bus_pids.append(int(line.split("=", 1)[1].rstrip(";")))
        start([bus_launcher, "--launch-immediately"], env=env, stderr=subprocess.DEVNULL,
              start_new_session=True)

        def a11y_bus_up():
            r = subprocess.run(["dbus-send", "--session", "--dest=org.a11y.Bus", "--print-reply",
                                "/org/a11y/bus", "org.a11y.Bus.GetAddress"], env=env,
                               capture_output=True, text=True)
            return r.returncode == 0 and "unix:" in r.stdout
        wait_for(a11y_bus_up, 20, "the accessibility bus")
        os.environ.update({k: env[k] for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR")})

        # The payment server and a console set up for it.
        sim_log = open(os.path.join(work, "sim.log"), "w+")
        start([varo_sim, "--port", "0", "--loop", os.path.join(scenarios, "approval.json")],
              stdout=sim_log, stderr=subprocess.STDOUT)

        def sim_port():
            sim_log.seek(0)
            first = sim_log.readline()
            return first.strip().rsplit(":", 1)[1] if first.startswith("listening on 127.0.0.1:") else None
        port = wait_for(sim_port, 10, "varo-sim")
        registry = os.path.join(work, "registry")
        home = os.path.join(work, "home")
        os.makedirs(registry)
        os.makedirs(home)
        console = [tellar, "--registry", registry, "--home", home]
        for name, value in (("KKAddress", "127.0.0.1"), ("KKPort", port), ("ReportMode", "0")):
            subprocess.run(console + ["--config", "set", name, value], env=env, check=True)
        start(console, env=env, stderr=open(os.path.join(work, "tellar.err.out"), "w"))

        import pyatspi  # needs the bus address set above

        desktop = pyatspi.Registry.getDesktop(0)

        def app():
            for i in range(desktop.childCount):
                a = desktop.getChildAtIndex(i)
                if a is not None and a.name == "Tellar":
                    return a
            return None
        tellar_app = wait_for(app, 20, "the console on the accessibility bus")

        def find_all(node, predicate, found):
            if node is None:
                return found
            try:
                if predicate(node):
                    found.append(node)
                for i in range(node.childCount):
                    find_all(node.getChildAtIndex(i), predicate, found)
            except Exception:
                pass
            return found

        def showing(node):
            return node.getState().contains(pyatspi.STATE_SHOWING)

        text_roles = (pyatspi.ROLE_TEXT, pyatspi.ROLE_PASSWORD_TEXT, pyatspi.ROLE_ENTRY)
        fields = wait_for(lambda: [f for f in find_all(tellar_app, lambda n: n.getRole() in text_roles, [])
                                   if showing(f)] or None, 10, "the entry fields")
        names = sorted(f.name for f in fields)
        print("fields on the card payment tab:", names)
        for wanted in ("Summa:", "Kaardi nr.", "Olekurida"):
            if wanted not in names:
                fail("no field named %r (names: %r)" % (wanted, names))
        if " Kaardimakse " in names:
            fail("a field is named by its frame's caption")
        pictures = find_all(tellar_app, lambda n: n.name == "Kaarditerminal", [])
        if not pictures:
            fail("the picture has no name")

        events = []

        def record(event):
            events.append((event.type, event.source.name if event.source else "", str(event.any_data)))
        pyatspi.Registry.registerEventListener(record, "object:property-change:accessible-description",
                                               "window:activate", "object:state-changed:showing")

        def pump(seconds):
            end = time.monotonic() + seconds
            while time.monotonic() < end:
                pyatspi.Registry.pumpQueuedEvents()
                time.sleep(0.02)

        xdotool = ["xdotool"]
        window = subprocess.run(xdotool + ["search", "--sync", "--name", "^Tellar - POS"], env=env,
                                capture_output=True, text=True).stdout.split()
        if not window:
            fail("no console window")
        subprocess.run(xdotool + ["windowfocus", "--sync", window[0]], env=env, check=True)
        pump(0.3)

        # A wrong amount: the console's box, read as a screen reader reads it.
        subprocess.run(xdotool + ["type", "--delay", "120", "abc"], env=env, check=True)
        subprocess.run(xdotool + ["key", "Return"], env=env, check=True)

        def box():
            dialogs = find_all(tellar_app, lambda n: n.getRole() == pyatspi.ROLE_DIALOG and showing(n), [])
            return dialogs[0] if dialogs else None
        message = wait_for(box, 10, "the box")
        labels = [n.name for n in find_all(message, lambda n: n.getRole() == pyatspi.ROLE_LABEL, [])]
        print("box:", message.name, "| description:", message.description, "| labels:", labels)
        if message.description != "Vigane summa." and "Vigane summa." not in labels:
            fail("the box's text is not readable")
        box_window = subprocess.run(xdotool + ["search", "--sync", "--name", "^Tellar$"], env=env,
                                    capture_output=True, text=True).stdout.split()
        if box_window:
            subprocess.run(xdotool + ["windowfocus", "--sync", box_window[-1]], env=env, check=True)
        subprocess.run(xdotool + ["key", "Return"], env=env, check=True)
        wait_for(lambda: box() is None, 10, "the box to close")
        subprocess.run(xdotool + ["windowfocus", "--sync", window[0]], env=env, check=True)
        pump(0.3)

        # A payment, the amount typed and the card swiped (a fast burst).
        subprocess.run(xdotool + ["key", "ctrl+a", "BackSpace"], env=env, check=True)
        subprocess.run(xdotool + ["type", "--delay", "120", "12,50"], env=env, check=True)
        time.sleep(0.2)
        subprocess.run(xdotool + ["type", "--delay", "5", ";4111111111111111=25121011000?"], env=env,
                       check=True)

        status_lines = [f for f in fields if f.name == "Olekurida"]

        def approved():
            pump(0.05)
            text = status_lines[0].queryText()
            value = text.getText(0, text.characterCount)
            return value if value.startswith("Toiming on teostatud.") else None
        final = wait_for(approved, 20, "the approval on the status line")
        print("status line after the approval:", final)
        if final != "Toiming on teostatud. Kviitungi number: 123":
            fail("status line reads %r" % final)
        if status_lines[0].description != final:
            fail("the status line's description is %r" % status_lines[0].description)
        pump(0.5)
        announced = [e for e in events if e[0].startswith("object:property-change:accessible-description")
                     and e[1] == "Olekurida"]
        print("status-line announcements:", len(announced))
        if not announced:
            fail("no status-line change was announced (events: %r)" % events[:20])
        print("PASS")
        return 0
    except SystemExit:
        # What the console and the simulator said, for the failure's reader.
        for name in ("tellar.err.out", "sim.log"):
            path = os.path.join(work, name)
            if os.path.exists(path):
                print("-- " + name, file=sys.stderr)
                print(open(path, errors="replace").read()[-3000:], file=sys.stderr)
        raise
    finally:
        for p in reversed(children):
            try:
                p.terminate()
                p.wait(timeout=5)
            except Exception:
                pass
            try:
                os.killpg(p.pid, signal.SIGTERM)   # the bus launcher's own children
            except OSError:
                pass
        for pid in bus_pids:
            try:
                os.kill(pid, signal.SIGTERM)
            except OSError:
                pass
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
