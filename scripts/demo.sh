#!/usr/bin/env bash
# The main job on bundled sample data: a whole HotSync operation. The handheld
# tool makes a sample handheld from samples/memos.txt, hotsync synchronises it
# into a desktop folder, and nvmemo lists the desktop data file it wrote.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target handheld hotsync nvmemo
bin=build/native/bin
demo=build/native/demo
password="$(cat samples/password.txt)"
rm -rf "$demo"
mkdir -p "$demo/handheld"   # the desktop folder is made by the HotSync operation

# The handheld: its memos, as the handheld user typed them in.
source scripts/lib/sample-handheld.sh
make_sample_handheld "$demo/handheld" "$bin/handheld"

echo "== HotSync operation: handheld $demo/handheld -> desktop $demo/desktop =="
"$bin/hotsync" sync --handheld "$demo/handheld" --folder "$demo/desktop" --file record.dat
echo "== $demo/desktop/record.dat, memos in alphabetical order =="
"$bin/nvmemo" list "$demo/desktop/record.dat" --password "$password" --order alpha
