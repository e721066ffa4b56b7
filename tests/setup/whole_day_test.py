#!/usr/bin/env python3
"""A whole day of a user, end to end under Wine, in a prefix of its own:
setup, a handheld with protected memos, the first HotSync operation, the
memo view in Palm Desktop's stand-in driven as a person would (WholeDayView),
the HotSync button, the handheld's view of the changes, a change on the
handheld reaching the view, uninstall.

Skipped (exit 77) while the control or Palm Desktop's stand-in is not built.

usage: whole_day_test.py --setup EXE --bin DIR --prefix PREFIX --work DIR
                         [--ocx --desktop EXE --addon-manager DLL --driver EXE]
"""
import argparse
import json
import os
import shutil
import sys

from setup_support import ENTRY, Checks, Wine, check_gone

SKIP = 77
FOLDER = r"C:\Tessaly"
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


def handheld(wine, a, *args, stdin=b""):
    return wine.run(a.unix_to_win(os.path.join(a.bin, "handheld.exe")), r"C:\hh", *args, stdin=stdin,
                    encoding="utf-8")


def hotsync(wine, a):
    return wine.run(HOST + r"\hotsync.exe", "sync", "--user", USER, "--handheld", r"C:\hh", "--desktop", ROOT)


def live_records(wine, a, t):
    rc, out = handheld(wine, a, "list", "--password", PASSWORD, "--json")
    t.expect(rc == 0, "handheld list")
    return [r for r in json.loads(out)["records"] if not r["deleted"]] if rc == 0 else []


def drive(t, wine, a, *args):
    """WholeDayView's run: its checks are printed, its findings returned."""
    rc, out = wine.run(a.unix_to_win(a.driver), *args, timeout=300, encoding="utf-8")
    found = {}
    for line in out.splitlines():
        key, tab, value = line.partition("\t")
        if tab:
            found.setdefault(key, []).append(json.loads(value))
        else:
            print("  view: " + line)
    ok = t.expect(rc == 0, "the view driven through %s (exit %d)" % (args[0], rc))
    if ok:
        t.expect(all("HotSync 操作が完了しました。" in log for log in found["hotsync"]),
                 "the HotSync log: completed")
    return ok, found


def the_view(t, wine, a, category, data):
    """The user's session in the memo view, the handheld afterwards, and a
    change on the handheld brought back into the view."""
    desktop = wine.start(HOST + r"\desktop.exe", "--user", USER, "--root", ROOT, "--handheld", r"C:\hh",
                         "--addon", "Tessaly")
    try:
        ok, f = drive(t, wine, a, "day", ROOT + "\\" + USER + r"\Tessaly\record.dat", PASSWORD, "kage", NEW,
                      EDITED, str(category))
        if not ok:
            return
        first = {k: f[k][0] for k in ("read", "edited", "moved", "deleted")}
        t.expect(first["read"] in MEMOS, "a memo read in the preview: %r" % first["read"])
        t.expect(f["editor"] == ["メモの編集"] * 3, "the memo editor's caption")
        t.expect(f["question"] == ["選択したメモを削除しますか？"] * 2, "the question before Delete")
        # Written, edited, moved and then copied with the new memo; one
        # deleted; the undone one kept.
        expected = sorted([m for m in MEMOS if m not in (first["edited"], first["deleted"])] +
                          [EDITED, NEW, NEW, first["moved"]])
        t.expect(sorted(f["listed"]) == expected, "the view after the HotSync operation: %r" % f["listed"])

        records = live_records(wine, a, t)
        texts = sorted(r["text"] for r in records if r["text"] is not None)
        t.expect(len(texts) == len(records), "every memo on the handheld deciphers")
        t.expect(texts == expected, "the handheld holds the view's changes: %r" % texts)
        filed = sorted(r["text"] for r in records if r["category"] == category)
        t.expect(filed == sorted([NEW, NEW, first["moved"], first["moved"]]), "the moved and copied memos' category")
        rc, out = wine.run(a.unix_to_win(os.path.join(a.bin, "nvmemo.exe")), "list", a.unix_to_win(data),
                           "--password", PASSWORD, "--json", encoding="utf-8")
        memos = json.loads(out)["memos"] if rc == 0 else []
        t.expect(rc == 0 and sorted(m["text"] for m in memos) == expected, "the desktop data file holds the same")
        t.expect(memos and not any(m["update"] or m["deleted"] or m["new"] for m in memos),
                 "the desktop data file is clean")

        for path in (data, wine.path(r"C:\hh\Tessaly-Vqxa.pdb")):
            raw = open(path, "rb").read()
            t.expect(not any(m.split("\n")[0].encode("cp932") in raw for m in expected),
                     "no memo in clear in " + os.path.basename(path))

        # A change on the handheld meanwhile, brought by the next HotSync.
        target = next((r["id"] for r in records if r["text"] == EDITED), None)
        rc, _ = handheld(wine, a, "edit", str(target), "--password", PASSWORD, stdin=ON_HANDHELD.encode())
        t.expect(rc == 0, "edited on the handheld")
        ok, f = drive(t, wine, a, "resync")
        listed = f.get("listed", [])
        t.expect(ON_HANDHELD in listed and EDITED not in listed, "the handheld's change in the view: %r" % listed)
        t.expect(desktop.wait(timeout=30) == 0, "desktop.exe ended")
    finally:
        if desktop.poll() is None:
            desktop.kill()
            desktop.wait()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--setup", required=True)
    ap.add_argument("--bin", required=True)
    ap.add_argument("--prefix", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--ocx", action="store_true")
    ap.add_argument("--desktop")
    ap.add_argument("--addon-manager")
    ap.add_argument("--driver")
    a = ap.parse_args()
    if not (a.ocx and a.desktop and a.addon_manager and a.driver):
        print("skipped: needs TessalyExt.ocx, desktop.exe, PalmAddOn.dll and WholeDayView.exe in the build")
        return SKIP
    a.unix_to_win = lambda p: "Z:" + os.path.abspath(p).replace("/", "\\")

    wine = Wine(a.prefix, a.work, os.path.join(a.bin, "TessalyExt.ocx") if a.ocx else None)
    t = Checks()
    try:
        # The host's software, as a user has it before our setup.
        for dll in ("CONDMGR.dll", "HSAPI.dll"):
            shutil.copy(os.path.join(a.bin, dll), wine.path(r"C:\windows\system32" + "\\" + dll))
        shutil.copy(a.addon_manager, wine.path(r"C:\windows\system32\PalmAddOn.dll"))
        os.makedirs(wine.path(HOST))
        shutil.copy(a.desktop, wine.path(HOST + r"\desktop.exe"))
        for program in ("hotsync.exe", "SYNC20.dll", "HSLOG20.dll", "PalmCmn.dll"):
            shutil.copy(os.path.join(a.bin, program), wine.path(HOST + "\\" + program))
        t.expect(wine.run("regsvr32", "/s", r"C:\windows\system32\PalmAddOn.dll")[0] == 0, "add-on manager")

        shutil.copy(a.setup, wine.path(r"C:\TessalySetup.exe"))
        rc, _ = wine.run(r"C:\TessalySetup.exe", "/S", "/D=" + FOLDER)
        t.expect(rc == 0, "setup (exit %d)" % rc)

        # The handheld with protected memos, and the first HotSync operation.
        t.expect(handheld(wine, a, "create", "--password", PASSWORD, "--hint", "いつもの")[0] == 0, "handheld made")
        rc, out = handheld(wine, a, "category", "add", CATEGORY)
        t.expect(rc == 0, "category added")
        for memo in MEMOS:
            t.expect(handheld(wine, a, "add", "--password", PASSWORD, stdin=memo.encode())[0] == 0, "memo added")
        os.makedirs(wine.path(ROOT + "\\" + USER))
        rc, log = hotsync(wine, a)
        t.expect(rc == 0, "first HotSync (exit %d) %s" % (rc, log.strip()))
        data = wine.path(ROOT + "\\" + USER + r"\Tessaly\record.dat")
        t.expect(os.path.isfile(data), "the desktop data file")

        if not t.failures:
            the_view(t, wine, a, int(out.strip()), data)

        # Uninstall: none of our keys, the user's data stays.
        kept = open(data, "rb").read() if os.path.isfile(data) else None
        shutil.copy(wine.path(FOLDER + r"\Uninstall.exe"), wine.path(r"C:\uninstall-copy.exe"))
        rc, _ = wine.run(r"C:\uninstall-copy.exe", "/S", "_?=" + FOLDER)
        t.expect(rc == 0, "uninstall (exit %d)" % rc)
        check_gone(t, wine, "uninstall")
        t.expect(wine.values(ENTRY) is None, "no conduit entry")
        t.expect(os.path.isfile(data) and open(data, "rb").read() == kept, "the data file stays")
    finally:
        wine.close()
    return t.result(a.work)


if __name__ == "__main__":
    sys.exit(main())
