#!/usr/bin/env python3
"""Runs TessalySetup.exe and its uninstaller silently in a Wine prefix of
their own and checks what they leave behind: the files, InstallPath, the
Conduit Manager's entry for "Vqxa", the control's registration, the entry in
Add/Remove Programs, and the user's HotSync folders.

usage: setup_test.py --setup EXE --bad-control-setup EXE --bin DIR --prefix PREFIX --work DIR [--ocx]
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile

SETTINGS = r"HKCU\Software\Norvane\TessalyExt"
COMPANY = r"HKCU\Software\Norvane"
ENTRY = r"HKCU\Software\HotSync\Conduits\Vqxa"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaly"
PROGID = r"HKCR\TESSALYEXT.TessalyExtCtrl.1\CLSID"
DEFAULT_DIR = r"C:\Program Files\Norvane\Tessaly"
OTHER_DIR = r"C:\Apps\Tessaly"


class Checks:
    def __init__(self):
        self.failures = []

    def expect(self, ok, what):
        print(("ok    " if ok else "FAIL  ") + what, flush=True)
        if not ok:
            self.failures.append(what)


class Wine:
    def __init__(self, prefix):
        self.prefix = prefix
        self.env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                        LANG="ja_JP.UTF-8", LC_ALL="ja_JP.UTF-8")

    def run(self, *args, timeout=60):
        # Output goes through a file: a pipe would stay open in any service
        # process that Wine starts on the way, and reading it would never end.
        with tempfile.TemporaryFile() as out:
            p = subprocess.run(["wine", *args], env=self.env, stdin=subprocess.DEVNULL, stdout=out,
                               stderr=subprocess.DEVNULL, timeout=timeout)
            out.seek(0)
            return p.returncode, out.read().decode("cp932", "replace")

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

    def start(self):
        # One server for the whole test spares a start-up at every call.
        subprocess.run(["wineserver", "-p"], env=self.env)
        subprocess.run(["wine", "wineboot"], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env)


def bitmap_size(path):
    with open(path, "rb") as f:
        head = f.read(26)
    return struct.unpack("<ii", head[18:26]) if head[:2] == b"BM" else None


def installed_files(ocx):
    files = ["NvComn.dll", "TessalyConduit.dll", "Ravelin.exe", "Tessaly.ini", "TessalyExt.html",
             "TessalyExt32.bmp", "TessalyExt16.bmp", "Uninstall.exe"]
    return files + (["TessalyExt.ocx"] if ocx else [])


def check_installed(t, wine, folder, ocx):
    for name in installed_files(ocx):
        t.expect(os.path.isfile(wine.path(folder + "\\" + name)), "installed " + folder + "\\" + name)
    t.expect(bitmap_size(wine.path(folder + r"\TessalyExt32.bmp")) == (32, 32), "large picture 32x32")
    t.expect(bitmap_size(wine.path(folder + r"\TessalyExt16.bmp")) == (16, 16), "small picture 16x16")
    settings = wine.values(SETTINGS) or {}
    t.expect(settings.get("InstallPath") == folder, "InstallPath is " + folder + ": " + repr(settings))
    entry = wine.values(ENTRY) or {}
    want = {"Conduit": folder + r"\TessalyConduit.dll", "Directory": "Tessaly", "File": "record.dat",
            "RemoteDatabase": "Tessaly-Vqxa", "Name": "Tessaly", "Priority": "0x2"}
    t.expect(entry == want, "conduit entry for Vqxa: " + repr(entry))
    uninstall = wine.values(UNINSTALL) or {}
    t.expect(uninstall.get("UninstallString") == '"' + folder + r'\Uninstall.exe"',
             "Add/Remove Programs entry: " + repr(uninstall.get("UninstallString")))
    if ocx:
        clsid = (wine.values(PROGID) or {}).get("(既定)", (wine.values(PROGID) or {}).get("(Default)"))
        server = wine.values("HKCR\\CLSID\\%s\\InprocServer32" % clsid) if clsid else None
        default = server and (server.get("(既定)") or server.get("(Default)"))
        t.expect(default is not None and default.lower() == (folder + r"\TessalyExt.ocx").lower(),
                 "control registered from the installed module: " + repr(default))


def check_gone(t, wine, what):
    for key in (COMPANY, ENTRY, UNINSTALL, PROGID):
        t.expect(wine.values(key) is None, what + ": no key " + key)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--setup", required=True)
    ap.add_argument("--bad-control-setup", required=True)
    ap.add_argument("--bin", required=True)
    ap.add_argument("--prefix", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--ocx", action="store_true")
    a = ap.parse_args()

    # A prefix of this test's own, copied from the build tree's.
    prefix = os.path.join(a.work, "wineprefix")
    shutil.rmtree(a.work, ignore_errors=True)
    os.makedirs(a.work)
    shutil.copytree(a.prefix, prefix, symlinks=True)
    shutil.copy(a.setup, os.path.join(prefix, "drive_c", "TessalySetup.exe"))
    shutil.copy(a.bad_control_setup, os.path.join(prefix, "drive_c", "BadControlSetup.exe"))
    xvfb = None
    if not os.environ.get("DISPLAY"):
        r, w = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                pass_fds=[w], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(w)
        os.environ["DISPLAY"] = ":" + os.read(r, 16).decode().strip()
        os.close(r)
    wine = Wine(prefix)
    t = Checks()
    wine.start()
    try:
        # Without the HotSync Manager's libraries Ravelin cannot start: the
        # setup fails and takes back everything it did.
        rc, _ = wine.run(r"C:\TessalySetup.exe", "/S")
        t.expect(rc != 0, "setup fails without the Conduit Manager (exit %d)" % rc)
        t.expect(not os.path.exists(wine.path(r"C:\Program Files\Norvane")), "no folder left behind")
        check_gone(t, wine, "failed setup")

        # The host's libraries, where the system's loader finds them.
        for dll in ("CONDMGR.dll", "HSAPI.dll"):
            shutil.copy(os.path.join(a.bin, dll), wine.path(r"C:\windows\system32" + "\\" + dll))

        # A control that cannot register: the conduit's registration is taken
        # back with the rest.
        rc, _ = wine.run(r"C:\BadControlSetup.exe", "/S")
        t.expect(rc != 0, "setup fails when the control cannot register (exit %d)" % rc)
        t.expect(not os.path.exists(wine.path(r"C:\Program Files\Norvane")), "no folder left behind")
        check_gone(t, wine, "failed registration")

        rc, _ = wine.run(r"C:\TessalySetup.exe", "/S")
        t.expect(rc == 0, "first setup (exit %d)" % rc)
        check_installed(t, wine, DEFAULT_DIR, a.ocx)

        # The user's HotSync folder with data, backup and archive files.
        hotsync = wine.path(r"C:\Palm\Taro\Tessaly")
        os.makedirs(hotsync)
        user_files = [os.path.join(hotsync, n) for n in ("record.dat", "record.BAK", "Unfiled.ARC")]
        for f in user_files:
            with open(f, "wb") as out:
                out.write(b"user data")

        # The second setup, into another folder, replaces the first whole.
        rc, _ = wine.run(r"C:\TessalySetup.exe", "/S", "/D=" + OTHER_DIR)
        t.expect(rc == 0, "second setup into another folder (exit %d)" % rc)
        t.expect(not os.path.exists(wine.path(r"C:\Program Files\Norvane")), "first installation removed")
        check_installed(t, wine, OTHER_DIR, a.ocx)
        conduits = wine.run("reg", "query", r"HKCU\Software\HotSync\Conduits")[1]
        t.expect(conduits.count("Vqxa") == 1, "one conduit entry")

        # A HotSync folder inside the install folder stays too.
        inside = wine.path(OTHER_DIR + r"\Hanako\Tessaly\record.dat")
        os.makedirs(os.path.dirname(inside))
        with open(inside, "wb") as out:
            out.write(b"user data")
        user_files.append(inside)

        # The uninstaller runs from a copy, so that it can remove itself from
        # the folder, and a second time from the same copy.
        shutil.copy(wine.path(OTHER_DIR + r"\Uninstall.exe"), wine.path(r"C:\uninstall-copy.exe"))
        for n in (1, 2):
            rc, _ = wine.run(r"C:\uninstall-copy.exe", "/S", "_?=" + OTHER_DIR)
            t.expect(rc == 0, "uninstall %d (exit %d)" % (n, rc))
            for name in installed_files(True):
                t.expect(not os.path.exists(wine.path(OTHER_DIR + "\\" + name)), "removed " + name)
            check_gone(t, wine, "uninstall %d" % n)
            for f in user_files:
                t.expect(open(f, "rb").read() == b"user data", "user file kept: " + f)
    finally:
        wine.stop()
        if xvfb:
            xvfb.terminate()
    if t.failures:
        print("%d check(s) failed" % len(t.failures))
        return 1
    shutil.rmtree(a.work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
