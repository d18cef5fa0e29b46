#!/usr/bin/env bash
# A full backup run of the program (rotation, new archive folder, copy) against cp -a and
# rsync -a of the same tree, and the removal of an archive by the run's rotation against
# rm -rf, side by side and repeated; prints median times, ratios and peak memory. Console
# output goes to /dev/null. Run by hand, never as a pass/fail gate.
# Usage: bench/copy-bench.sh [build-dir] [repetitions] [small files] [folders] [large files] [MB per large file]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
reps=${2:-3}
files=${3:-20000}
folders=${4:-2000}
large=${5:-3}
largeMb=${6:-300}
for tool in rsync /usr/bin/time python3 cmake; do
    command -v "$tool" >/dev/null || { echo "FEHLER: $tool fehlt (apt-get install rsync time python3 cmake)"; exit 1; }
done
# The release binary, so that the figures are those a user gets.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target vaultix -j2 >/dev/null
vaultix=$(realpath "$build/vaultix")
work=$(mktemp -d "${TMPDIR:-/tmp}/vaultix-copy-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/leer"

# Small files of 1 to 64 KB in folders ten per parent, and a few large files.
python3 - "$work/klein" "$work/gross" "$files" "$folders" "$large" "$largeMb" <<'PY'
import os, random, sys
small, big = sys.argv[1], sys.argv[2]
files, folders, large, mb = map(int, sys.argv[3:7])
rnd = random.Random(5)
pool = os.urandom(1 << 20)
paths = [small]
os.makedirs(small)
for i in range(1, folders):
    p = os.path.join(paths[(i - 1) // 10], "ordner_%05d" % i)
    os.mkdir(p)
    paths.append(p)
for i in range(files):
    size = rnd.randint(1024, 65536)
    start = rnd.randint(0, len(pool) - size)
    with open(os.path.join(paths[i % folders], "datei_%06d.bin" % i), "wb") as f:
        f.write(pool[start:start + size])
os.makedirs(big)
for i in range(large):
    with open(os.path.join(big, "gross_%d.bin" % i), "wb") as f:
        for _ in range(mb):
            f.write(pool)
PY
echo "Baum klein: $files Dateien (1 bis 64 KB) in $folders Ordnern; Baum gross: $large Dateien zu $largeMb MB"

# One timed command: seconds and peak memory in KB appended to the results.
timed() {
    local label=$1
    shift
    sync
    /usr/bin/time -f "%e %M" -o "$work/t" "$@" >/dev/null 2>"$work/err" || {
        echo "FEHLER: $label"; cat "$work/err"; exit 1; }
    echo "$label $(cat "$work/t")" >> "$work/results"
}

: > "$work/results"
for rep in $(seq 1 "$reps"); do
    for tree in klein gross; do
        # The order turns each round, so no tool always meets a cold or a busy disk.
        tools=(cp rsync vaultix)
        for ((k = 0; k < rep - 1; k++)); do tools=("${tools[@]:1}" "${tools[0]}"); done
        for tool in "${tools[@]}"; do
            out="$work/ziel-$tool"
            rm -rf "$out"
            case $tool in
                cp) timed "$tree cp" cp -a "$work/$tree" "$out" ;;
                rsync) timed "$tree rsync" rsync -a "$work/$tree/" "$out" ;;
                vaultix)
                    mkdir "$out"
                    timed "$tree vaultix" "$vaultix" "$work/$tree" "$out" /X ;;
            esac
        done
        diff -r "$work/$tree" "$work/ziel-rsync" >/dev/null ||
            { echo "FEHLER: Kopie von rsync weicht ab"; exit 1; }
        archive=("$work/ziel-vaultix"/ARCHIV_*)
        [ ${#archive[@]} -eq 1 ] && diff -r "$work/$tree" "${archive[0]}" >/dev/null ||
            { echo "FEHLER: Kopie von vaultix weicht ab"; exit 1; }
        if [ "$tree" = klein ]; then
            # Two identical archives: one removed by rm -rf, the other (made by cp -a) by
            # the rotation of a run with one archive folder allowed and an empty source.
            rm -rf "$work/rotation"
            mkdir "$work/rotation"
            mv "$work/ziel-cp" "$work/rotation/ARCHIV_20000101_000000"
            # The order turns each round here too.
            if ((rep % 2)); then
                timed "entfernen rm" rm -rf "${archive[0]}"
                timed "entfernen vaultix" "$vaultix" "$work/leer" "$work/rotation" /Z=1 /X
            else
                timed "entfernen vaultix" "$vaultix" "$work/leer" "$work/rotation" /Z=1 /X
                timed "entfernen rm" rm -rf "${archive[0]}"
            fi
            [ -e "$work/rotation/ARCHIV_20000101_000000" ] &&
                { echo "FEHLER: Archiv nicht vollstaendig entfernt"; exit 1; }
        fi
        rm -rf "$work"/ziel-*
    done
    echo "Durchgang $rep von $reps fertig"
done

python3 - "$work/results" <<'PY'
import statistics, sys
times, mem = {}, {}
for line in open(sys.argv[1]):
    a, b, t, m = line.split()
    times.setdefault((a, b), []).append(float(t))
    mem[(a, b)] = max(mem.get((a, b), 0), int(m))
med = {k: statistics.median(v) for k, v in times.items()}
print()
print("%-10s %-8s %9s %12s" % ("Baum", "Werkzeug", "Median s", "Spitze MB"))
for k in sorted(med):
    print("%-10s %-8s %9.2f %12.1f" % (k[0], k[1], med[k], mem[k] / 1024))
print()
for tree in ("klein", "gross"):
    v = med[(tree, "vaultix")]
    print("%-6s vaultix / cp -a: %5.2f   vaultix / rsync -a: %5.2f" %
          (tree, v / med[(tree, "cp")], v / med[(tree, "rsync")]))
print("entfernen vaultix / rm -rf: %5.2f" % (med[("entfernen", "vaultix")] / med[("entfernen", "rm")]))
PY
