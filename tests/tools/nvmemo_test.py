#!/usr/bin/env python3
"""nvmemo as a user drives it: UTF-8 in and out, exit statuses, and the
memo file it leaves behind. usage: nvmemo_test.py [--wine RUNNER] NVMEMO
(with --wine, a Windows program started through RUNNER, given paths on Z:)"""
import json
import pathlib
import subprocess
import sys
import tempfile
import unittest

RUNNER = NVMEMO = None
PASSWORD = "ひみつ"


def run(*args, stdin=b""):
    cmd = ([RUNNER] if RUNNER else []) + [NVMEMO] + [str(a) for a in args]
    p = subprocess.run(cmd, input=stdin, capture_output=True, timeout=120)
    return p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace")


class NvmemoTest(unittest.TestCase):
    def setUp(self):
        tmp = tempfile.TemporaryDirectory(prefix="nvmemo_")
        self.addCleanup(tmp.cleanup)
        self.file = pathlib.Path(tmp.name, "record.dat")
        self.f = "Z:" + str(self.file).replace("/", "\\") if RUNNER else str(self.file)

    def create(self, password=PASSWORD, hint="いつもの"):
        code, _, err = run("create", self.f, "--password", password, "--hint", hint,
                           "--category", "仕事", "--category", "個人")
        self.assertEqual(code, 0, err)

    def add(self, text, *extra):
        code, out, err = run("add", self.f, "--password", PASSWORD, *extra, stdin=text.encode())
        return code, out.strip(), err

    def listing(self, *extra, password=PASSWORD):
        code, out, err = run("list", self.f, "--json", *(["--password", password] if password else []), *extra)
        self.assertEqual(code, 0, err)
        return json.loads(out)

    def test_round_trip_of_japanese_multiline_memos(self):
        self.create()
        text = "会議メモ\n・予算は水曜\nソフト表示 \\ 終わり"
        self.assertEqual(self.add(text + "\n", "--category", "2")[:2], (0, "0"))
        self.assertEqual(self.add("Alpha\r\r\nBeta")[:2], (0, "1"))   # a CR, then a break
        # Only CR LF is a line break: a lone CR is text, listed and taken back as it is.
        self.assertEqual(self.add("one\rtwo\r\nthree\r")[0], 0)
        exported = self.listing()["memos"][2]["text"]
        self.assertEqual(exported, "one\rtwo\nthree\r")
        self.assertEqual(self.add(exported)[0], 0)
        data = self.listing()
        self.assertEqual(data["memos"][3]["text"], exported)
        self.assertEqual(data["hint"], "いつもの")
        self.assertEqual([(c["index"], c["name"], c["id"]) for c in data["categories"]],
                         [(0, "Unfiled", 0), (1, "仕事", 128), (2, "個人", 129)])
        first, second = data["memos"][:2]
        self.assertEqual(first["text"], text)   # one trailing line break dropped
        self.assertEqual(second["text"], "Alpha\r\nBeta")
        self.assertEqual([first[k] for k in ("index", "id", "category", "leading", "update", "deleted",
                                             "archived", "new", "private")], [0, 0, 2, 32, True] + [False] * 4)

    def test_alphabetical_order_and_delete(self):
        self.create()
        for t in ["さくら", "apple", "ｱｲｽ", "Banana"]:
            self.assertEqual(self.add(t)[0], 0)
        texts = [m["text"] for m in self.listing("--order", "alpha")["memos"]]
        self.assertEqual(texts, ["Banana", "apple", "ｱｲｽ", "さくら"])
        self.assertEqual(run("delete", self.f, "1", "--password", PASSWORD)[0], 0)
        # Deleted memos stay until the next HotSync operation.
        self.assertEqual([m["deleted"] for m in self.listing()["memos"]], [False, True, False, False])

    def test_passwords(self):
        self.create()
        # A wrong password, or none and no terminal to ask on, shows the hint.
        for extra in (["--password", "ちがう"], []):
            code, out, err = run("list", self.f, *extra)
            self.assertEqual((code, out), (2, ""))
            self.assertIn("いつもの", err)
        self.file.unlink()
        self.create(password="", hint="")
        self.assertEqual(run("add", self.f, stdin=b"plain")[0], 0)
        self.assertEqual(self.listing(password=None)["memos"][0]["text"], "plain")
        self.assertIn(b"plain\0", self.file.read_bytes())   # stored in plain without a password

    def test_missing_and_damaged_files(self):
        self.assertEqual(run("list", self.f, "--password", "x")[0], 1)
        self.create()
        self.assertEqual(self.add("memo")[0], 0)
        image = self.file.read_bytes()
        self.file.write_bytes(image[:-5])   # the last record cut short
        self.assertEqual(run("list", self.f, "--password", PASSWORD)[0], 3)
        self.assertEqual(self.add("more")[0], 3)
        self.assertEqual(self.file.read_bytes(), image[:-5])   # a damaged file is left alone

    def test_usage_errors(self):
        self.create()
        for args in (["frobnicate", self.f], ["list"], ["list", self.f, "--order", "random"],
                     ["add", self.f, "--category", "16"], ["delete", self.f, "x"],
                     ["list", self.f, "--password"], ["add", self.f, "--bogus"]):
            self.assertEqual(run(*args)[0], 64, args)
        for text, extra, message in (("x", ["--category", "5"], "no category 5"), ("emoji 😀", [], "Shift-JIS"),
                                     ("x" * 65478, [], "")):
            code, _, err = self.add(text, *extra)
            self.assertEqual(code, 64)
            self.assertIn(message, err)
        for n in (65476, 65477):   # one under the longest memo, and the longest
            self.assertEqual(self.add("x" * n)[0], 0)
        self.assertEqual([len(m["text"]) for m in self.listing()["memos"]], [65476, 65477])
        self.assertEqual(run("delete", self.f, "7", "--password", PASSWORD)[0], 64)
        self.assertEqual(run("create", self.f)[0], 1)   # exists; --force replaces


if __name__ == "__main__":
    RUNNER, NVMEMO = (sys.argv[2], sys.argv[3]) if sys.argv[1] == "--wine" else (None, sys.argv[1])
    unittest.main(argv=[sys.argv[0], "-v"])
