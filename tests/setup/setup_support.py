"""What the tests of the setup program share: a Wine prefix of a test's own,
copied from the build tree's, with a display and one server for the whole
run, and a list of checks that goes on after a failure."""
import os
import shutil
import subprocess
import tempfile

# The keys that an installation writes.
SETTINGS = r"HKCU\Software\Norvane\TessalyExt"
COMPANY = r"HKCU\Software\Norvane"
ENTRY = r"HKCU\Software\HotSync\Conduits\Vqxa"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaly"
PROGID = r"HKCR\TESSALYEXT.TessalyExtCtrl.1\CLSID"
ADDON = r"HKCU\Software\PalmDesktopStandIn\AddOns\Tessaly"   # kept by Palm Desktop's stand-in


class Checks:
    def __init__(self):
        self.failures = []

    def result(self, work):
        """The test's exit status; a passing test leaves no files behind."""
        if self.failures:
            print("%d check(s) failed" % len(self.failures))
            return 1
        shutil.rmtree(work, ignore_errors=True)
        return 0

    def expect(self, ok, what):
        print(("ok    " if ok else "FAIL  ") + what, flush=True)
        if not ok:
            self.failures.append(what)
        return ok


class Wine:
    """A fresh prefix in WORK, copied from the build tree's PREFIX, as a PC
    that never had Tessaly: the build's own CONTROL (when given) unregisters
    whatever the other tests left of its classes there."""

    def __init__(self, template, work, control=None):
        self.prefix = os.path.join(work, "wineprefix")
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        shutil.copytree(template, self.prefix, symlinks=True)
        self.xvfb = None
        if not os.environ.get("DISPLAY"):
            r, w = os.pipe()
            self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x768x24", "-nolisten",
                                          "tcp"], pass_fds=[w], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            os.close(w)
            os.environ["DISPLAY"] = ":" + os.read(r, 16).decode().strip()
            os.close(r)
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                        LANG="ja_JP.UTF-8", LC_ALL="ja_JP.UTF-8")
        # One server for the whole test spares a start-up at every call; its
        # services start here, with no pipe of ours open.
        subprocess.run(["wineserver", "-p"], env=self.env)
        subprocess.run(["wine", "wineboot"], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        # The build's prefix also serves the other tests, which may have left
        # the view's settings, the stand-in's failure lists or conduits of
        # their own behind.
        for key in (COMPANY, r"HKCU\Software\PalmDesktopStandIn", r"HKCU\Software\HotSync"):
            self.run("reg", "delete", key, "/f")
        if control:
            self.run("regsvr32", "/u", "/s", "Z:" + os.path.abspath(control).replace("/", "\\"))

    def run(self, *args, stdin=b"", timeout=60, encoding="cp932"):
        """Exit status and standard output of a program (Wine's own programs
        write code page 932; our tools write UTF-8)."""
        # Output goes through a file: a pipe would stay open in any service
        # process that Wine starts on the way, and reading it would never end.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as inp:
            inp.write(stdin)
            inp.seek(0)
            p = subprocess.run(["wine", *args], env=self.env, stdin=inp, stdout=out, stderr=subprocess.DEVNULL,
                               timeout=timeout)
            out.seek(0)
            return p.returncode, out.read().decode(encoding, "replace")

    def start(self, *args):
        """A program left running, as a person starts one."""
        return subprocess.Popen(["wine", *args], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)

    def path(self, win):
        """The Unix path of a C: path."""
        return os.path.join(self.prefix, "drive_c", *win[3:].split("\\"))

    def values(self, key):
        """The values of a registry key as a dict, or None when it is absent."""
        rc, out = self.run("reg", "query", key)
        if rc != 0:
            return None
        values = {}
        for line in out.splitlines():
            parts = line.strip().split("    ")
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                values[parts[0]] = parts[2] if len(parts) > 2 else ""
        return values

    def mentions(self, word):
        """The lines of the registry (the whole machine's and the user's) that
        name WORD, without regard to case."""
        found = []
        for root in ("HKLM", "HKCU"):
            with tempfile.TemporaryDirectory() as tmp:
                out = os.path.join(tmp, "export.reg")
                rc, _ = self.run("reg", "export", root, "Z:" + out.replace("/", "\\"), "/y")
                text = open(out, "rb").read().decode("utf-16", "replace") if rc == 0 else "<no export>"
                found += [line for line in text.splitlines() if word.lower() in line.lower()]
        return found

    def default_value(self, key):
        values = self.values(key) or {}
        return values.get("(既定)", values.get("(Default)"))

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env)
        if self.xvfb:
            self.xvfb.terminate()


def check_gone(t, wine, what):
    for key in (COMPANY, ENTRY, UNINSTALL, PROGID, ADDON):
        t.expect(wine.values(key) is None, what + ": no key " + key)
