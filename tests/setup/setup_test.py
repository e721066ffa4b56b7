#!/usr/bin/env python3
"""TessalySetup.exe and its uninstaller, run silently: the files, InstallPath,
the conduit's entry, the control's registration (--ocx) and its add-on entry
(--addon-manager), Add/Remove Programs, the user's files; failing setups that
take everything back."""
import os
import shutil
import struct
import sys

from setup_support import ADDON, ENTRY, FILES, PC, PROGID, SETTINGS, UNINSTALL, arguments

DEFAULT_DIR = r"C:\Program Files\Norvane\Tessaly"
# A Japanese folder whose name holds the trail byte of a backslash (表 is 0x95 0x5C).
OTHER_DIR = r"C:\表示\Tessaly"
CONDUIT = {"Directory": "Tessaly", "File": "record.dat", "RemoteDatabase": "Tessaly-Vqxa", "Name": "Tessaly",
           "Priority": "0x2"}


def check_installed(pc, folder, ocx, addon):
    for name in FILES[:None if ocx else -1]:
        pc.expect(os.path.isfile(pc.path(folder + "\\" + name)), "installed " + folder + "\\" + name)
    for size in (32, 16):   # a bitmap's width and height
        head = open(pc.path(folder + r"\TessalyExt%d.bmp" % size), "rb").read(26)
        pc.expect(struct.unpack("<ii", head[18:26]) == (size, size), "%d-pixel picture" % size)
    settings = pc.values(SETTINGS) or {}
    pc.expect(settings.get("InstallPath") == folder, "InstallPath is " + folder + ": " + repr(settings))
    entry = pc.values(ENTRY) or {}
    pc.expect(entry == dict(CONDUIT, Conduit=folder + r"\TessalyConduit.dll"), "conduit entry for Vqxa: %r" % entry)
    uninstall = (pc.values(UNINSTALL) or {}).get("UninstallString")
    pc.expect(uninstall == '"' + folder + r'\Uninstall.exe"', "Add/Remove Programs entry: %r" % uninstall)
    if ocx:
        clsid = (pc.values(PROGID) or {}).get("")
        module = (pc.values("HKCR\\CLSID\\%s\\InprocServer32" % clsid) or {}).get("")
        pc.expect(module is not None and module.lower() == (folder + r"\TessalyExt.ocx").lower(),
                  "control registered from the installed module: %r" % module)
    if addon:
        # The control found InstallPath when it registered with Palm Desktop.
        want = {"Description": "TessalyExt.html", "LargeBitmap": "TessalyExt32.bmp", "SmallBitmap": "TessalyExt16.bmp"}
        entry = {k: v for k, v in (pc.values(ADDON) or {}).items() if k in want}
        pc.expect(entry == {k: folder + "\\" + n for k, n in want.items()}, "the add-on entry: %r" % entry)


def main():
    a = arguments("--bad-control-setup", "--addon-manager")
    with PC(a.prefix, a.work, os.path.join(a.bin, "TessalyExt.ocx") if a.ocx else None) as pc:
        shutil.copy(a.setup, pc.path(r"C:\TessalySetup.exe"))
        shutil.copy(a.bad_control_setup, pc.path(r"C:\BadControlSetup.exe"))
        addon = bool(a.ocx and a.addon_manager)
        # Without the HotSync Manager's libraries Ravelin cannot start; with
        # them, a control that cannot register fails the setup after the
        # conduit's registration. Either way everything done is taken back.
        for setup, why in (("TessalySetup", "without the Conduit Manager"),
                           ("BadControlSetup", "when the control cannot register")):
            if setup == "BadControlSetup":
                pc.install_host(a.bin, a.addon_manager if addon else None)
            rc, _ = pc.run("C:\\%s.exe" % setup, "/S")
            pc.expect(rc != 0, "setup fails %s (exit %d)" % (why, rc))
            pc.expect(not os.path.exists(pc.path(r"C:\Program Files\Norvane")), "no folder left behind")
            pc.check_gone("failed setup")

        rc, _ = pc.run(r"C:\TessalySetup.exe", "/S")
        pc.expect(rc == 0, "first setup (exit %d)" % rc)
        check_installed(pc, DEFAULT_DIR, a.ocx, addon)
        # The view's layout, as the control keeps it.
        pc.run("reg", "add", SETTINGS, "/v", "Tab", "/t", "REG_DWORD", "/d", "3", "/f")

        # The second setup, into another folder, replaces the first whole.
        rc, _ = pc.run(r"C:\TessalySetup.exe", "/S", "/D=" + OTHER_DIR)
        pc.expect(rc == 0, "second setup into another folder (exit %d)" % rc)
        pc.expect(not os.path.exists(pc.path(r"C:\Program Files\Norvane")), "first installation removed")
        check_installed(pc, OTHER_DIR, a.ocx, addon)
        pc.expect((pc.values(SETTINGS) or {}).get("Tab") == "0x3", "the view's layout outlives the upgrade")

        # The user's files, beside the install folder and in it, stay.
        kept = [pc.path(f) for f in (r"C:\Palm\Taro\Tessaly\record.dat", OTHER_DIR + r"\Hanako\Tessaly\record.dat")]
        for f in kept:
            os.makedirs(os.path.dirname(f))
            with open(f, "wb") as out:
                out.write(f.encode())
        # Twice: the second run finds nothing left to remove and still ends well.
        pc.uninstall(OTHER_DIR, kept, runs=2)
    return pc.result()


if __name__ == "__main__":
    sys.exit(main())
