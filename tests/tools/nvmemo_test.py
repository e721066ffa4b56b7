#!/usr/bin/env python3
"""nvmemo as a user drives it: UTF-8 in and out, exit statuses, and the
memo file it leaves behind.

usage: nvmemo_test.py [--wine RUNNER] NVMEMO
With --wine, NVMEMO is a Windows program started through RUNNER, and file
names are given as Windows paths on drive Z:.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

RUNNER = None
NVMEMO = None


def path_arg(p):
    return "Z:" + p.replace("/", "\\") if RUNNER else p


def run(*args, stdin=b""):
    cmd = ([RUNNER] if RUNNER else []) + [NVMEMO] + [str(a) for a in args]
    p = subprocess.run(cmd, input=stdin, capture_output=True, timeout=120)
    return p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace")


class NvmemoTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="nvmemo_")
        self.file = os.path.join(self.dir, "record.dat")
        self.f = path_arg(self.file)

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def create(self, password="ひみつ", hint="いつもの", categories=("仕事", "個人")):
        args = ["create", self.f, "--password", password, "--hint", hint]
        for c in categories:
            args += ["--category", c]
        code, _, err = run(*args)
        self.assertEqual(code, 0, err)

    def listing(self, *extra, password="ひみつ"):
        code, out, err = run("list", self.f, "--password", password, "--json", *extra)
        self.assertEqual(code, 0, err)
        return json.loads(out)

    def test_round_trip_of_japanese_multiline_memos(self):
        self.create()
        text = "会議メモ\n・予算は水曜\nソフト表示 \\ 終わり"
        code, out, err = run("add", self.f, "--password", "ひみつ", "--category", "2", stdin=(text + "\n").encode())
        self.assertEqual((code, out.strip()), (0, "0"), err)
        code, out, _ = run("add", self.f, "--password", "ひみつ", stdin=b"Alpha\r\r\nBeta")   # a CR, then a break
        self.assertEqual((code, out.strip()), (0, "1"))
        # Only CR LF is a line break: a lone CR is text, listed and taken back as it is.
        self.assertEqual(run("add", self.f, "--password", "ひみつ", stdin=b"one\rtwo\r\nthree\r")[0], 0)
        exported = self.listing()["memos"][2]["text"]
        self.assertEqual(exported, "one\rtwo\nthree\r")
        self.assertEqual(run("add", self.f, "--password", "ひみつ", stdin=exported.encode())[0], 0)
        data = self.listing()
        self.assertEqual(data["memos"][3]["text"], exported)
        self.assertEqual(data["hint"], "いつもの")
        self.assertEqual([(c["index"], c["name"]) for c in data["categories"]],
                         [(0, "Unfiled"), (1, "仕事"), (2, "個人")])
        self.assertEqual([c["id"] for c in data["categories"]][1:], [128, 129])
        first, second = data["memos"][:2]
        self.assertEqual(first["text"], text)   # one trailing line break dropped
        self.assertEqual(second["text"], "Alpha\r\nBeta")
        self.assertEqual((first["index"], first["id"], first["category"], first["leading"]), (0, 0, 2, 32))
        self.assertEqual([first[k] for k in ("update", "deleted", "archived", "new", "private")],
                         [True, False, False, False, False])

    def test_alphabetical_order_and_delete(self):
        self.create()
        for t in ["さくら", "apple", "ｱｲｽ", "Banana"]:
            self.assertEqual(run("add", self.f, "--password", "ひみつ", stdin=t.encode())[0], 0)
        self.assertEqual([m["text"] for m in self.listing("--order", "alpha")["memos"]],
                         ["Banana", "apple", "ｱｲｽ", "さくら"])
        self.assertEqual(run("delete", self.f, "1", "--password", "ひみつ")[0], 0)
        memos = self.listing()["memos"]
        self.assertEqual([m["deleted"] for m in memos], [False, True, False, False])
        self.assertEqual(len(memos), 4)   # deleted memos stay until the next HotSync operation

    def test_password_failures_show_the_hint(self):
        self.create()
        code, out, err = run("list", self.f, "--password", "ちがう")
        self.assertEqual(code, 2)
        self.assertIn("いつもの", err)
        self.assertEqual(out, "")
        code, _, err = run("list", self.f)   # no terminal to ask on
        self.assertEqual(code, 2)
        self.assertIn("いつもの", err)

    def test_file_without_password(self):
        self.create(password="", hint="")
        self.assertEqual(run("add", self.f, stdin=b"plain")[0], 0)
        code, out, _ = run("list", self.f, "--json")
        self.assertEqual(code, 0)
        self.assertEqual(json.loads(out)["memos"][0]["text"], "plain")
        with open(self.file, "rb") as fh:
            self.assertIn(b"plain\0", fh.read())   # stored in plain without a password

    def test_missing_and_damaged_files(self):
        self.assertEqual(run("list", path_arg(os.path.join(self.dir, "none.dat")), "--password", "x")[0], 1)
        self.create()
        self.assertEqual(run("add", self.f, "--password", "ひみつ", stdin=b"memo")[0], 0)
        with open(self.file, "rb") as fh:
            image = fh.read()
        with open(self.file, "wb") as fh:
            fh.write(image[:-5])            # the last record cut short
        code, _, err = run("list", self.f, "--password", "ひみつ")
        self.assertEqual(code, 3, err)
        code, _, _ = run("add", self.f, "--password", "ひみつ", stdin=b"more")
        self.assertEqual(code, 3)
        with open(self.file, "rb") as fh:
            self.assertEqual(fh.read(), image[:-5])   # a damaged file is left alone

    def test_usage_errors(self):
        self.create()
        for args in (["frobnicate", self.f], ["list"], ["list", self.f, "--order", "random"],
                     ["add", self.f, "--category", "16"], ["delete", self.f, "x"],
                     ["list", self.f, "--password"], ["add", self.f, "--bogus"]):
            self.assertEqual(run(*args)[0], 64, args)
        code, _, err = run("add", self.f, "--password", "ひみつ", "--category", "5", stdin=b"x")
        self.assertEqual(code, 64)
        self.assertIn("no category 5", err)
        code, _, err = run("add", self.f, "--password", "ひみつ", stdin="emoji 😀".encode())
        self.assertEqual(code, 64)
        self.assertIn("Shift-JIS", err)
        code, _, _ = run("add", self.f, "--password", "ひみつ", stdin=b"x" * 65478)
        self.assertEqual(code, 64)
        for n in (65476, 65477):   # one under the longest memo, and the longest
            self.assertEqual(run("add", self.f, "--password", "ひみつ", stdin=b"x" * n)[0], 0)
        self.assertEqual([len(m["text"]) for m in self.listing()["memos"]], [65476, 65477])
        self.assertEqual(run("delete", self.f, "7", "--password", "ひみつ")[0], 64)
        self.assertEqual(run("create", self.f)[0], 1)   # exists; --force replaces


if __name__ == "__main__":
    args = sys.argv[1:]
    if args and args[0] == "--wine":
        RUNNER = args[1]
        args = args[2:]
    NVMEMO = args[0]
    unittest.main(argv=[sys.argv[0], "-v"])
