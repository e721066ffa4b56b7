"""What the tests of the setup program share: a PC under Wine that keeps the
checks made on it, and the steps both tests take there."""
import argparse
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
FILES = ["NvComn.dll", "TessalyConduit.dll", "Ravelin.exe", "Tessaly.ini", "TessalyExt.html", "TessalyExt32.bmp",
         "TessalyExt16.bmp", "Uninstall.exe", "TessalyExt.ocx"]


def win(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def arguments(*options):
    """--setup --bin --prefix --work are required; --ocx and OPTIONS are not."""
    ap = argparse.ArgumentParser()
    for name in ("--setup", "--bin", "--prefix", "--work"):
        ap.add_argument(name, required=True)
    ap.add_argument("--ocx", action="store_true")
    for name in options:
        ap.add_argument(name)
    return ap.parse_args()


class PC:
    """A fresh prefix in WORK, copied from the build tree's TEMPLATE, as a PC
    that never had Tessaly: the build's own CONTROL (when given) unregisters
    what other tests left of its classes there. A failed check does not stop."""

    def __init__(self, template, work, control=None):
        self.work, self.failures = work, []
        self.prefix = os.path.join(work, "wineprefix")
        shutil.rmtree(work, ignore_errors=True)
        shutil.copytree(template, self.prefix, symlinks=True)
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                        LANG="ja_JP.UTF-8", LC_ALL="ja_JP.UTF-8")
        # One server for the whole test spares a start-up at every call; its
        # services start here, with no pipe of ours open.
        subprocess.run(["wineserver", "-p"], env=self.env)
        self.run("wineboot", timeout=300)
        # The build's prefix also serves the other tests, which may have left
        # the view's settings, their own company keys (Norvane...), the
        # stand-in's failure lists or conduits behind.
        _, software = self.run("reg", "query", r"HKCU\Software")
        left = [k.strip() for k in software.splitlines() if k.strip().lower().startswith(r"hkey_current_user\software\norvane")]
        for key in left + [r"HKCU\Software\PalmDesktopStandIn", r"HKCU\Software\HotSync"]:
            self.run("reg", "delete", key, "/f")
        if control:
            self.run("regsvr32", "/u", "/s", win(control))

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        subprocess.run(["wineserver", "-k"], env=self.env)

    def expect(self, ok, what):
        print(("ok    " if ok else "FAIL  ") + what, flush=True)
        if not ok:
            self.failures.append(what)
        return ok

    def result(self):
        """The test's exit status; a passing test leaves no files behind."""
        if self.failures:
            print("%d check(s) failed" % len(self.failures))
            return 1
        shutil.rmtree(self.work, ignore_errors=True)
        return 0

    def run(self, *args, stdin=b"", timeout=60, encoding="cp932"):
        """Exit status and standard output of a program (Wine's own programs
        and the view's driver write code page 932; our tools write UTF-8)."""
        # Through files: a pipe would stay open in any service process that
        # Wine starts on the way, and reading it would never end.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as inp:
            inp.write(stdin)
            inp.seek(0)
            p = subprocess.run(["wine", *args], env=self.env, stdin=inp, stdout=out, stderr=subprocess.DEVNULL,
                               timeout=timeout)
            out.seek(0)
            return p.returncode, out.read().decode(encoding, "replace")

    def start(self, *args):
        """A program left running; it ends with the prefix's server at the latest."""
        return subprocess.Popen(["wine", *args], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)

    def path(self, win_path):   # of a C: path
        return os.path.join(self.prefix, "drive_c", *win_path[3:].split("\\"))

    def values(self, key):
        """A registry key's values ("" the default's), or None when it is absent."""
        rc, out = self.run("reg", "query", key)
        parts = [line.strip().split("    ") for line in out.splitlines()]
        values = {p[0] if p[0][0] != "(" else "": p[2] if len(p) > 2 else ""
                  for p in parts if len(p) >= 2 and p[1].startswith("REG_")}
        return values if rc == 0 else None

    def install_host(self, bin_dir, addon_manager):
        """The HotSync Manager's libraries, where the system's loader finds
        them, and Palm Desktop's add-on manager (when given), registered."""
        for dll in ("CONDMGR.dll", "HSAPI.dll"):
            shutil.copy(os.path.join(bin_dir, dll), self.path(r"C:\windows\system32" + "\\" + dll))
        if addon_manager:
            shutil.copy(addon_manager, self.path(r"C:\windows\system32\PalmAddOn.dll"))
            rc, _ = self.run("regsvr32", "/s", r"C:\windows\system32\PalmAddOn.dll")
            self.expect(rc == 0, "Palm Desktop's add-on manager registered (exit %d)" % rc)

    def check_gone(self, what):
        """No line of the registry (the machine's and the user's) that names
        Tessaly, the company or the conduit's creator ID."""
        left, out = [], os.path.join(self.work, "export.reg")
        for root in ("HKLM", "HKCU"):
            rc, _ = self.run("reg", "export", root, win(out), "/y")
            text = open(out, "rb").read().decode("utf-16", "replace") if rc == 0 else "<no export> tessaly"
            left += [s for s in text.splitlines() if any(w in s.lower() for w in ("tessaly", "norvane", "vqxa"))]
        self.expect(not left, what + ": nothing of ours in the registry: %r" % left[:5])

    def uninstall(self, folder, kept, runs=1):
        """Uninstalls from a copy of the uninstaller, so that it can remove
        itself from FOLDER, RUNS times; the files KEPT stay as they were."""
        data = {f: open(f, "rb").read() if os.path.isfile(f) else None for f in kept}
        self.expect(None not in data.values(), "user files present")
        shutil.copy(self.path(folder + r"\Uninstall.exe"), self.path(r"C:\uninstall-copy.exe"))
        for n in range(1, runs + 1):
            rc, _ = self.run(r"C:\uninstall-copy.exe", "/S", "_?=" + folder)
            self.expect(rc == 0, "uninstall %d (exit %d)" % (n, rc))
            self.expect(not any(os.path.exists(self.path(folder + "\\" + f)) for f in FILES), "installed files removed")
            self.check_gone("uninstall %d" % n)
            for f, d in data.items():
                self.expect(os.path.isfile(f) and open(f, "rb").read() == d, "user file kept: " + f)
