#!/usr/bin/env bash
# Removal of an archive folder against rm -rf on the same tree, with the peak memory.
# Usage: bench/remove-bench.sh [build-dir] [files] [folders]
# Run by hand; not a pass/fail gate.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
files=${2:-200000}
folders=${3:-20000}
work=$(mktemp -d "${TMPDIR:-/tmp}/vaultix-remove-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

g++ -O2 -std=c++20 -I. bench/remove-tree.cpp "$build/libvaultix_core.a" -o "$work/remove-tree"

# A tree of $folders folders (ten per parent, so it is a few levels deep) and $files
# small files spread over them.
make_tree() {
    python3 - "$1" "$files" "$folders" <<'PY'
import os, sys
root, files, folders = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
paths = [root]
os.makedirs(root)
for i in range(1, folders):
    p = os.path.join(paths[(i - 1) // 10], "ordner_%05d" % i)
    os.mkdir(p)
    paths.append(p)
for i in range(files):
    with open(os.path.join(paths[i % folders], "datei_%06d.txt" % i), "w") as f:
        f.write("x" * (i % 200))
PY
}

echo "Baum: $files Dateien in $folders Ordnern"
make_tree "$work/a"
make_tree "$work/b"
sync

start=$(date +%s.%N)
rm -rf "$work/a"
end=$(date +%s.%N)
rm_time=$(echo "$end - $start" | bc -l)

/usr/bin/time -f "%e %M" -o "$work/time.txt" "$work/remove-tree" "$work/b"
read -r vx_time vx_kb < "$work/time.txt"
[ -e "$work/b" ] && echo "FEHLER: Baum nicht vollstaendig entfernt"

printf 'rm -rf:        %6.2f s\n' "$rm_time"
printf 'vaultix:       %6.2f s   Spitze %d MB\n' "$vx_time" $((vx_kb / 1024))
printf 'Verhaeltnis:   %6.2f\n' "$(echo "$vx_time / $rm_time" | bc -l)"
