#!/usr/bin/env bash
# A large tree of tiny files: a full backup run of it (for the peak memory) and the
# removal of the archive by the run's rotation against rm -rf of an identical copy.
# Usage: bench/remove-bench.sh [build-dir] [files] [folders]
# Run by hand; not a pass/fail gate.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
files=${2:-200000}
folders=${3:-20000}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target vaultix -j2 >/dev/null
vaultix=$(realpath "$build/vaultix")
work=$(mktemp -d "${TMPDIR:-/tmp}/vaultix-remove-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/leer" "$work/ziel"

# $folders folders (ten per parent, so it is a few levels deep) and $files small files
# spread over them.
python3 - "$work/quelle" "$files" "$folders" <<'PY'
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
echo "Baum: $files Dateien in $folders Ordnern"

sync
/usr/bin/time -f "%e %M" -o "$work/copy.txt" "$vaultix" "$work/quelle" "$work/ziel" /X >/dev/null
read -r copy_time copy_kb < "$work/copy.txt"
archive=("$work/ziel"/ARCHIV_*)
mv "${archive[0]}" "$work/ziel/ARCHIV_20000101_000000"
cp -a "$work/quelle" "$work/kopie"
sync

/usr/bin/time -f "%e %M" -o "$work/rm.txt" rm -rf "$work/kopie"
read -r rm_time rm_kb < "$work/rm.txt"
sync
/usr/bin/time -f "%e %M" -o "$work/remove.txt" "$vaultix" "$work/leer" "$work/ziel" /Z=1 /X >/dev/null
read -r vx_time vx_kb < "$work/remove.txt"
[ -e "$work/ziel/ARCHIV_20000101_000000" ] && echo "FEHLER: Archiv nicht vollstaendig entfernt"

printf 'Sicherung:     %6.2f s   Spitze %d MB\n' "$copy_time" $((copy_kb / 1024))
printf 'rm -rf:        %6.2f s   Spitze %d MB\n' "$rm_time" $((rm_kb / 1024))
printf 'Rotation:      %6.2f s   Spitze %d MB\n' "$vx_time" $((vx_kb / 1024))
printf 'Verhaeltnis:   %6.2f\n' "$(echo "$vx_time / $rm_time" | bc -l)"
