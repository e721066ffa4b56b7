#!/usr/bin/env python3
"""A user's whole day under Wine: setup, a handheld with protected memos, a
HotSync operation, the memo view in Palm Desktop's stand-in driven as a person
would (WholeDayView), the handheld's view of the changes and back, uninstall.
Skipped (77) while the control or Palm Desktop's stand-in is not built.
"""
import json
import os
import shutil
import sys

from setup_support import PC, arguments, win

FOLDER = r"C:\表示\Tessaly"   # 表 is 0x95 0x5C: the trail byte of a backslash
ROOT = r"C:\Palm"
HOST = r"C:\Palm Desktop"   # Palm Desktop and the HotSync Manager, as the user has them
USER = "Taro"
PASSWORD = "kagi"
MEMOS = ["買い物\n牛乳、卵", "会議メモ\n10時から", "秘密\n金庫の番号", "電話番号\n03-1234-5678",
         "Wi-Fi\nabc123"]   # five, unfiled, as WholeDayView expects
CATEGORY = "仕事"
NEW = "新しいメモ\nデスクトップで書いた"
EDITED = "書き直したメモ\n二行目も"
ON_HANDHELD = "手元で直したメモ\nHotSync の後に"


def handheld(pc, a, *args, stdin=b""):
    return pc.run(win(os.path.join(a.bin, "handheld.exe")), r"C:\hh", *args, stdin=stdin, encoding="utf-8")


def drive(pc, a, *args):
    """WholeDayView's run: its checks are printed, its findings returned."""
    rc, out = pc.run(win(a.driver), *args, timeout=300)
    found = {}
    for key, tab, value in (line.partition("\t") for line in out.splitlines()):
        if tab:
            found.setdefault(key, []).append(value.replace("\t", "\n"))
        else:
            print("  view: " + key)
    ok = pc.expect(rc == 0, "the view driven through %s (exit %d)" % (args[0], rc))
    return ok and pc.expect(all("HotSync 操作が完了しました。" in log for log in found.get("hotsync", [""])),
                            "the HotSync log: completed"), found


def the_view(pc, a, category, data):
    """The session in the memo view, the handheld afterwards, and a change on
    the handheld brought back into the view (desktop.exe ends with the PC)."""
    desktop = pc.start(HOST + r"\desktop.exe", "--user", USER, "--root", ROOT, "--handheld", r"C:\hh", "--addon",
                       "Tessaly")
    ok, f = drive(pc, a, "day", data, PASSWORD, "kage", NEW, EDITED, str(category))
    if not ok:
        return desktop.kill()
    first = {k: f[k][0] for k in ("edited", "moved", "deleted")}
    # Written, edited, moved and then copied with the new memo; one deleted;
    # the undone one kept.
    expected = sorted([m for m in MEMOS if m not in (first["edited"], first["deleted"])] +
                      [EDITED, NEW, NEW, first["moved"]])
    pc.expect(sorted(f["listed"]) == expected, "the view after the HotSync operation: %r" % f["listed"])
    rc, out = handheld(pc, a, "list", "--password", PASSWORD, "--json")
    records = [r for r in json.loads(out)["records"] if not r["deleted"]] if rc == 0 else []
    texts = sorted(r["text"] or "" for r in records)   # None: a memo that does not decipher
    pc.expect(texts == expected, "the handheld holds the view's changes: %r" % texts)
    filed = sorted(r["text"] for r in records if r["category"] == category)
    pc.expect(filed == sorted([NEW, NEW, first["moved"], first["moved"]]), "the moved and copied memos' category")
    for path in (data, r"C:\hh\Tessaly-Vqxa.pdb"):
        raw = open(pc.path(path), "rb").read()
        pc.expect(not any(m.split("\n")[0].encode("cp932") in raw for m in expected), "no memo in clear: " + path)

    # A change on the handheld meanwhile, brought by the next HotSync.
    target = next((r["id"] for r in records if r["text"] == EDITED), None)
    rc, _ = handheld(pc, a, "edit", str(target), "--password", PASSWORD, stdin=ON_HANDHELD.encode())
    pc.expect(rc == 0, "edited on the handheld")
    listed = drive(pc, a, "resync")[1].get("listed", [])
    pc.expect(ON_HANDHELD in listed and EDITED not in listed, "the handheld's change in the view: %r" % listed)
    pc.expect(desktop.wait(timeout=30) == 0, "desktop.exe ended")


def main():
    a = arguments("--desktop", "--addon-manager", "--driver")
    if not (a.ocx and a.desktop and a.addon_manager and a.driver):
        print("skipped: needs TessalyExt.ocx, desktop.exe, PalmAddOn.dll and WholeDayView.exe in the build")
        return 77
    with PC(a.prefix, a.work, os.path.join(a.bin, "TessalyExt.ocx")) as pc:
        # The host's software, as a user has it before our setup.
        pc.install_host(a.bin, a.addon_manager)
        os.makedirs(pc.path(HOST))
        for f in [a.desktop] + [os.path.join(a.bin, f) for f in ("hotsync.exe", "SYNC20.dll", "HSLOG20.dll", "PalmCmn.dll")]:
            shutil.copy(f, pc.path(HOST))
        shutil.copy(a.setup, pc.path(r"C:\TessalySetup.exe"))
        pc.expect(pc.run(r"C:\TessalySetup.exe", "/S", "/D=" + FOLDER)[0] == 0, "setup")

        # The handheld with protected memos, and the first HotSync operation.
        pc.expect(handheld(pc, a, "create", "--password", PASSWORD, "--hint", "いつもの")[0] == 0, "handheld made")
        rc, category = handheld(pc, a, "category", "add", CATEGORY)
        pc.expect(rc == 0, "category added")
        for memo in MEMOS:
            pc.expect(handheld(pc, a, "add", "--password", PASSWORD, stdin=memo.encode())[0] == 0, "memo added")
        os.makedirs(pc.path(ROOT + "\\" + USER))
        rc, log = pc.run(HOST + r"\hotsync.exe", "sync", "--user", USER, "--handheld", r"C:\hh", "--desktop", ROOT)
        pc.expect(rc == 0, "first HotSync (exit %d) %s" % (rc, log.strip()))
        data = ROOT + "\\" + USER + r"\Tessaly\record.dat"
        pc.expect(os.path.isfile(pc.path(data)), "the desktop data file")
        if not pc.failures:
            the_view(pc, a, int(category), data)
        # None of our keys left; the user's data stays.
        pc.uninstall(FOLDER, [pc.path(data)])
    return pc.result()


if __name__ == "__main__":
    sys.exit(main())
