#!/usr/bin/env bash
# Builds the fuzz harnesses of the text parsers with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs each for a bounded time. Run by hand:
#   tests/fuzz/run-fuzz.sh [seconds per target, default 120] [target ...]
# Findings (crash-*, leak-*, timeout-*) land in <build>/findings/<target>/.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
seconds="${1:-120}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(commandline timestamp textline pathtail splitpath)
build="${VAULTIX_FUZZ_BUILD:-$root/build-fuzz}"

command -v clang++ >/dev/null || { echo "clang++ is missing (apt-get install clang)"; exit 1; }
cmake -S "$here" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j 2

# A few seeds per target, so that the fuzzer starts from the forms that matter.
seed() {  # target name content
    mkdir -p "$build/corpus/$1"
    printf '%b' "$3" > "$build/corpus/$1/seed-$2"
}
seed commandline basic 'C:\\Daten\0D:\\Sicherung\\*.*\0/F=log.txt\0/Z=-4\0/K\0/W=13\0/Q=C:\\B\0/X1'
seed commandline list 'src\0dst\0/S\r\nC:\\A\r\n\r\n   \nD:\\B'
seed timestamp full '27.06.2007 14:05:33'
seed timestamp blanks '  1.1.1970   0:0:0  '
seed timestamp bad '31.02.2007 25:61:00'
seed textline crlf '\x02\x58line one\r\nline two\n\nlast'
seed textline long "\x0b\xb8$(head -c 4000 /dev/zero | tr '\0' x)\nend"
seed pathtail star 'D:\\Daten\\*.*'
seed pathtail slash '/*.*'
seed splitpath drive 'D:\\Daten\\Unter/datei.tar.gz'
seed splitpath unc '\\\\Server\\Freigabe\\.profil'

status=0
for t in "${targets[@]}"; do
    echo "== fuzz_$t for ${seconds}s"
    mkdir -p "$build/findings/$t"
    (cd "$build/findings/$t" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "$build/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
        -max_len=8192 -print_final_stats=1 "$build/corpus/$t" < /dev/null \
        > "$build/findings/$t/log.txt" 2>&1) || status=1
    tail -n 12 "$build/findings/$t/log.txt" | grep -E 'stat::|ERROR|SUMMARY|Done' || true
    ls "$build/findings/$t" | grep -E '^(crash|leak|timeout|oom)-' && status=1 || true
done
exit $status
