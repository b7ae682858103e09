#!/usr/bin/env bash
# Builds the RTF reader's libFuzzer target (the core's reader, its writers
# and the desktop's) with clang (ASan + UBSan) and runs it for DURATION
# seconds, seeded with the RTF test corpus and our commentary files. Findings land in the work folder as crash-* / timeout-* / oom-*.
#
#   fuzz/run.sh DURATION [WORKDIR]     e.g. fuzz/run.sh 600
set -euo pipefail
duration=${1:?usage: fuzz/run.sh DURATION_SECONDS [WORKDIR]}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
work=${2:-$root/build-rtf/fuzz}
cxx=${CXX_FUZZ:-$(command -v clang++-14 || command -v clang++)}
mkdir -p "$work/corpus"
/usr/bin/python3 "$root/cmake/codepages.py" --output "$work/codepagetables.cpp"

"$cxx" -std=c++20 -O1 -g -fPIC -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$root" $(pkg-config --cflags Qt6Gui) \
    "$here/rtf_fuzzer.cpp" "$root"/rtf/*.cpp "$work/codepagetables.cpp" "$root/app/richtextwriter.cpp" \
    $(pkg-config --libs Qt6Gui) -o "$work/rtf_fuzzer"

cp -n "$root"/tests/data/rtf/*.rtf "$root"/data/*.rtf "$work/corpus/" 2>/dev/null || true

cd "$work"
# Fontconfig keeps what it parses for the whole process: not a leak of ours.
echo 'leak:libfontconfig.so' > lsan.supp
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=lsan.supp ./rtf_fuzzer corpus -dict="$here/rtf.dict" \
    -max_total_time="$duration" -jobs=1 -workers=1 -rss_limit_mb=2048 -timeout=10 -max_len=262144
