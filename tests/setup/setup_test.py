#!/usr/bin/env python3
"""Runs TessalySetup.exe and its uninstaller silently in a Wine prefix of
their own and checks what they leave behind: the files, InstallPath, the
Conduit Manager's entry for "Vqxa", the control's registration, the entry in
Add/Remove Programs, and the user's HotSync folders.

usage: setup_test.py --setup EXE --bad-control-setup EXE --bin DIR --prefix PREFIX --work DIR
                     [--ocx [--addon-manager DLL]]

--ocx: the setup carries the control; --addon-manager: Palm Desktop's add-on
manager (the stand-in) to register in the prefix first, so that the control's
add-on entry can be checked.
"""
import argparse
import os
import shutil
import struct
import sys

from setup_support import ADDON, ENTRY, PROGID, SETTINGS, UNINSTALL, Checks, Wine, check_gone

DEFAULT_DIR = r"C:\Program Files\Norvane\Tessaly"
# A Japanese folder whose name holds the trail byte of a backslash (表 is 0x95 0x5C).
OTHER_DIR = r"C:\表示\Tessaly"


def bitmap_size(path):
    with open(path, "rb") as f:
        head = f.read(26)
    return struct.unpack("<ii", head[18:26]) if head[:2] == b"BM" else None


def installed_files(ocx):
    files = ["NvComn.dll", "TessalyConduit.dll", "Ravelin.exe", "Tessaly.ini", "TessalyExt.html",
             "TessalyExt32.bmp", "TessalyExt16.bmp", "Uninstall.exe"]
    return files + (["TessalyExt.ocx"] if ocx else [])


def check_installed(t, wine, folder, ocx, addon):
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
        clsid = wine.default_value(PROGID)
        default = wine.default_value("HKCR\\CLSID\\%s\\InprocServer32" % clsid) if clsid else None
        t.expect(default is not None and default.lower() == (folder + r"\TessalyExt.ocx").lower(),
                 "control registered from the installed module: " + repr(default))
    if addon:
        # The control found InstallPath when it registered with Palm Desktop.
        entry = wine.values(ADDON) or {}
        for value, name in (("Description", "TessalyExt.html"), ("LargeBitmap", "TessalyExt32.bmp"),
                            ("SmallBitmap", "TessalyExt16.bmp")):
            t.expect(entry.get(value) == folder + "\\" + name, "add-on entry's %s: %r" % (value, entry.get(value)))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--setup", required=True)
    ap.add_argument("--bad-control-setup", required=True)
    ap.add_argument("--bin", required=True)
    ap.add_argument("--prefix", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--ocx", action="store_true")
    ap.add_argument("--addon-manager")
    a = ap.parse_args()

    wine = Wine(a.prefix, a.work, os.path.join(a.bin, "TessalyExt.ocx") if a.ocx else None)
    shutil.copy(a.setup, wine.path(r"C:\TessalySetup.exe"))
    shutil.copy(a.bad_control_setup, wine.path(r"C:\BadControlSetup.exe"))
    t = Checks()
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
        addon = bool(a.ocx and a.addon_manager)
        if addon:
            shutil.copy(a.addon_manager, wine.path(r"C:\windows\system32\PalmAddOn.dll"))
            rc, _ = wine.run("regsvr32", "/s", r"C:\windows\system32\PalmAddOn.dll")
            t.expect(rc == 0, "Palm Desktop's add-on manager registered (exit %d)" % rc)

        # A control that cannot register: the conduit's registration is taken
        # back with the rest.
        rc, _ = wine.run(r"C:\BadControlSetup.exe", "/S")
        t.expect(rc != 0, "setup fails when the control cannot register (exit %d)" % rc)
        t.expect(not os.path.exists(wine.path(r"C:\Program Files\Norvane")), "no folder left behind")
        check_gone(t, wine, "failed registration")
        left = wine.mentions("Tessaly")
        t.expect(not left, "after the failure the registry names Tessaly nowhere: %r" % left[:5])

        rc, _ = wine.run(r"C:\TessalySetup.exe", "/S")
        t.expect(rc == 0, "first setup (exit %d)" % rc)
        check_installed(t, wine, DEFAULT_DIR, a.ocx, addon)
        # The view's layout, as the control keeps it.
        wine.run("reg", "add", SETTINGS, "/v", "Tab", "/t", "REG_DWORD", "/d", "3", "/f")

        # The second setup, into another folder, replaces the first whole.
        rc, _ = wine.run(r"C:\TessalySetup.exe", "/S", "/D=" + OTHER_DIR)
        t.expect(rc == 0, "second setup into another folder (exit %d)" % rc)
        t.expect(not os.path.exists(wine.path(r"C:\Program Files\Norvane")), "first installation removed")
        check_installed(t, wine, OTHER_DIR, a.ocx, addon)
        t.expect((wine.values(SETTINGS) or {}).get("Tab") == "0x3", "the view's layout outlives the upgrade")
        conduits = wine.run("reg", "query", r"HKCU\Software\HotSync\Conduits")[1]
        t.expect(conduits.count("Vqxa") == 1, "one conduit entry")

        # A HotSync operation through the registered conduit makes the user's
        # data file and backup; an archive and a HotSync folder inside the
        # install folder stand beside them.
        bin_dir = "Z:" + os.path.abspath(a.bin).replace("/", "\\")
        os.makedirs(wine.path(r"C:\Palm\Taro"))
        rc, _ = wine.run(bin_dir + r"\handheld.exe", r"C:\hh", "create", "--password", "pw")
        rc2, _ = wine.run(bin_dir + r"\handheld.exe", r"C:\hh", "add", "--password", "pw", stdin="メモ".encode())
        t.expect(rc == 0 and rc2 == 0, "handheld made")
        rc, log = wine.run(bin_dir + r"\hotsync.exe", "sync", "--user", "Taro", "--handheld", r"C:\hh", "--desktop",
                           r"C:\Palm")
        t.expect(rc == 0, "HotSync through the installed conduit (exit %d) %s" % (rc, log.strip()))
        user_files = [wine.path(r"C:\Palm\Taro\Tessaly" + "\\" + n) for n in ("record.dat", "record.BAK")]
        for f, text in ((r"C:\Palm\Taro\Tessaly\Unfiled.ARC", b"archive"),
                        (OTHER_DIR + r"\Hanako\Tessaly\record.dat", b"user data")):
            os.makedirs(os.path.dirname(wine.path(f)), exist_ok=True)
            with open(wine.path(f), "wb") as out:
                out.write(text)
            user_files.append(wine.path(f))
        kept = {f: open(f, "rb").read() if os.path.isfile(f) else None for f in user_files}
        t.expect(None not in kept.values(), "user files present")

        # The uninstaller runs from a copy, so that it can remove itself from
        # the folder, and a second time from the same copy.
        shutil.copy(wine.path(OTHER_DIR + r"\Uninstall.exe"), wine.path(r"C:\uninstall-copy.exe"))
        for n in (1, 2):
            rc, _ = wine.run(r"C:\uninstall-copy.exe", "/S", "_?=" + OTHER_DIR)
            t.expect(rc == 0, "uninstall %d (exit %d)" % (n, rc))
            for name in installed_files(True):
                t.expect(not os.path.exists(wine.path(OTHER_DIR + "\\" + name)), "removed " + name)
            check_gone(t, wine, "uninstall %d" % n)
            left = wine.mentions("Tessaly")
            t.expect(not left, "the registry names Tessaly nowhere: %r" % left[:5])
            for f, data in kept.items():
                t.expect(os.path.isfile(f) and open(f, "rb").read() == data, "user file kept: " + f)
    finally:
        wine.close()
    return t.result(a.work)


if __name__ == "__main__":
    sys.exit(main())
