#!/usr/bin/env bash
# A large tree of tiny files: a full backup run of it (for the peak memory), then, in
# repeated rounds in a turning order, the removal of an archive by the run's rotation
# against rm -rf of an identical copy. Prints median wall-clock and CPU times (user +
# system; on a busy machine the steadier figure), the ratios and the peak memory.
# Usage: bench/remove-bench.sh [build-dir] [files] [folders] [rounds] [other vaultix]
# The optional last argument is a second vaultix binary (an older build, say) whose
# rotation is timed in the same rounds, for a before-and-after figure.
# Run by hand; not a pass/fail gate.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
files=${2:-200000}
folders=${3:-20000}
rounds=${4:-3}
other=${5:-}
for tool in /usr/bin/time python3 cmake; do
    command -v "$tool" >/dev/null || { echo "FEHLER: $tool fehlt (apt-get install time python3 cmake)"; exit 1; }
done
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target vaultix -j2 >/dev/null
vaultix=$(realpath "$build/vaultix")
[ -n "$other" ] && other=$(realpath "$other")
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
echo "Baum: $files Dateien in $folders Ordnern, $rounds Durchgaenge"

# One timed command: wall-clock seconds, CPU seconds and peak memory in KB.
timed() {
    local label=$1
    shift
    sync
    /usr/bin/time -f "%e %U %S %M" -o "$work/t" "$@" >/dev/null 2>"$work/err" || {
        echo "FEHLER: $label"; cat "$work/err"; exit 1; }
    echo "$label $(cat "$work/t")" >> "$work/results"
}

: > "$work/results"
timed sicherung "$vaultix" "$work/quelle" "$work/ziel" /X
rm -rf "$work/ziel"

tools=(rm vaultix)
[ -n "$other" ] && tools+=(anderes)
for round in $(seq 1 "$rounds"); do
    # Identical archives, made before anything is timed; the order turns each round so
    # that no tool always meets a cold or a busy disk.
    for tool in "${tools[@]}"; do
        rm -rf "$work/$tool"
        mkdir "$work/$tool"
        cp -a "$work/quelle" "$work/$tool/ARCHIV_20000101_000000"
    done
    order=("${tools[@]}")
    for ((k = 0; k < round - 1; k++)); do order=("${order[@]:1}" "${order[0]}"); done
    for tool in "${order[@]}"; do
        case $tool in
            rm) timed rm rm -rf "$work/rm/ARCHIV_20000101_000000" ;;
            vaultix) timed vaultix "$vaultix" "$work/leer" "$work/vaultix" /Z=1 /X ;;
            anderes) timed anderes "$other" "$work/leer" "$work/anderes" /Z=1 /X ;;
        esac
        [ -e "$work/$tool/ARCHIV_20000101_000000" ] &&
            { echo "FEHLER: Archiv ($tool) nicht vollstaendig entfernt"; exit 1; }
    done
    echo "Durchgang $round von $rounds fertig (Last $(cut -d' ' -f1 /proc/loadavg))"
done

python3 - "$work/results" <<'PY'
import statistics, sys
wall, cpu, mem = {}, {}, {}
for line in open(sys.argv[1]):
    tool, e, u, s, m = line.split()
    wall.setdefault(tool, []).append(float(e))
    cpu.setdefault(tool, []).append(float(u) + float(s))
    mem[tool] = max(mem.get(tool, 0), int(m))
names = {"sicherung": "Sicherung", "rm": "rm -rf", "vaultix": "Rotation",
         "anderes": "Rotation (anderes)"}
print()
print("%-20s %10s %10s %10s" % ("", "Median s", "CPU s", "Spitze MB"))
for tool in ("sicherung", "rm", "vaultix", "anderes"):
    if tool in wall:
        print("%-20s %10.2f %10.2f %10.1f" % (names[tool], statistics.median(wall[tool]),
                                               statistics.median(cpu[tool]), mem[tool] / 1024))
print()
for tool in ("vaultix", "anderes"):
    if tool in wall:
        print("%s / rm -rf: %5.2f (CPU %5.2f)" % (
            names[tool], statistics.median(wall[tool]) / statistics.median(wall["rm"]),
            statistics.median(cpu[tool]) / statistics.median(cpu["rm"])))
PY
