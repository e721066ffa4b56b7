#!/usr/bin/env python3
"""Builds the sample memo file from samples/memos.txt with nvmemo.

usage: make-sample.py NVMEMO SAMPLES_DIR OUTPUT_FILE

Each memo starts with a line "Category: NAME" (0 for Unfiled); the lines
after it, up to the next such line, are the memo.
"""
import os
import subprocess
import sys

nvmemo, samples, output = sys.argv[1:4]
password = open(os.path.join(samples, "password.txt"), encoding="utf-8").read().strip()
memos = []
for line in open(os.path.join(samples, "memos.txt"), encoding="utf-8").read().splitlines():
    if line.startswith("Category: "):
        memos.append([line[len("Category: "):], []])
    elif memos:
        memos[-1][1].append(line)

names = []
for category, _ in memos:
    if category != "0" and category not in names:
        names.append(category)

os.makedirs(os.path.dirname(output) or ".", exist_ok=True)
create = [nvmemo, "create", output, "--force", "--password", password, "--hint", "鍵の木 (the key tree)"]
for name in names:
    create += ["--category", name]
subprocess.run(create, check=True)
for category, lines in memos:
    index = "0" if category == "0" else str(names.index(category) + 1)
    subprocess.run([nvmemo, "add", output, "--password", password, "--category", index],
                   input="\n".join(lines).encode("utf-8"), check=True, stdout=subprocess.DEVNULL)
