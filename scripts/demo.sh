#!/usr/bin/env bash
# The main job on bundled sample data: the build makes an enciphered memo
# file from samples/memos.txt, and nvmemo lists it with its password.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target sample
sample=build/native/sample/record.dat
echo "== $sample, memos in alphabetical order =="
build/native/bin/nvmemo list "$sample" --password "$(cat samples/password.txt)" --order alpha
