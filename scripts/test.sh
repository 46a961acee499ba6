#!/usr/bin/env bash
# Every level of tests from one command:
#   0. the layer check of the core's includes (scripts/check_layers.py),
#   1. native unit and scenario tests under ASan/UBSan (build-native, ctest),
#   2. the fuzz targets for a bounded time each (build-fuzz, clang, FUZZ_SECONDS, default 60),
#   3. the Windows build and its platform tests under Wine (build-win, ctest),
#   4. the end-to-end tests of kelmor.exe under Wine and Xvfb (tests/e2e/run_e2e.sh).
# Ends with one line "N passed, M failed" (summed over all levels); exits non-zero on failure.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
cd "$KELMOR_ROOT"

FUZZ_SECONDS=${FUZZ_SECONDS:-60}
JOBS=${JOBS:-$(nproc)}
LOGS=$KELMOR_ROOT/build-logs
mkdir -p "$LOGS"

passed=0
failed=0
report=()

note() { printf "== [%d:%02d] %s\n" $((SECONDS / 60)) $((SECONDS % 60)) "$*"; }
add() { # level passed failed
    passed=$((passed + $2))
    failed=$((failed + $3))
    report+=("$(printf '%-28s %4d passed, %d failed' "$1" "$2" "$3")")
}

# Adds ctest's own counts from its log; a run that printed none counts as one failure.
add_ctest() { # level log
    local line p f t
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$2" | tail -1)
    if [ -z "$line" ]; then
        add "$1" 0 1
        return
    fi
    f=$(sed -E 's/.*passed, ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    t=$(sed -E 's/.*failed out of ([0-9]+).*/\1/' <<<"$line")
    p=$((t - f))
    add "$1" "$p" "$f"
}

SECONDS=0
note "dependencies"
if ! bash scripts/deps.sh; then
    echo "0 passed, 1 failed"
    exit 1
fi

# ---- 0. layers ------------------------------------------------------------------------------
note "layer check"
if python3 scripts/check_layers.py; then add "layer check" 1 0; else add "layer check" 0 1; fi

# ---- 1. native tests ------------------------------------------------------------------------
note "native build (ASan/UBSan)"
if cmake -S . -B build-native -G Ninja -DKELMOR_SANITIZE=ON >"$LOGS/native-config.log" 2>&1 &&
    cmake --build build-native -j"$JOBS" >"$LOGS/native-build.log" 2>&1; then
    note "native tests"
    ctest --test-dir build-native --output-on-failure -j"$JOBS" --timeout 900 2>&1 |
        tee "$LOGS/native-ctest.log" | grep -E '^ *[0-9]+/[0-9]+ Test|tests passed|Failed|\*\*\*'
    add_ctest "native tests" "$LOGS/native-ctest.log"
else
    tail -n 30 "$LOGS/native-config.log" "$LOGS/native-build.log"
    add "native build" 0 1
fi

# ---- 2. fuzzing -----------------------------------------------------------------------------
fuzzers=()
for src in fuzz/*_fuzz.cpp; do
    [ -e "$src" ] && fuzzers+=("$(basename "$src" .cpp)")
done
if [ ${#fuzzers[@]} -gt 0 ]; then
    note "fuzz build (clang): ${fuzzers[*]}"
    if cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DKELMOR_FUZZ=ON -DKELMOR_BENCH=OFF >"$LOGS/fuzz-config.log" 2>&1 &&
        cmake --build build-fuzz -j"$JOBS" --target "${fuzzers[@]}" >"$LOGS/fuzz-build.log" 2>&1; then
        fp=0 ff=0
        for f in "${fuzzers[@]}"; do
            # Absolute paths: a target may change its working directory.
            corpus=$KELMOR_ROOT/build-fuzz/corpus/$f
            mkdir -p "$corpus"
            seeds=()
            [ -d "fuzz/corpus/$f" ] && seeds=("$KELMOR_ROOT/fuzz/corpus/$f")
            note "fuzzing $f for ${FUZZ_SECONDS}s"
            if (cd build-fuzz && "./$f" -max_total_time="$FUZZ_SECONDS" -print_final_stats=1 \
                "$corpus" "${seeds[@]}") >"$LOGS/$f.log" 2>&1; then
                fp=$((fp + 1))
                grep -E '^stat::number_of_executed_units' "$LOGS/$f.log" | sed "s/^/   $f /"
            else
                ff=$((ff + 1))
                echo "   $f FAILED (log $LOGS/$f.log):"
                grep -E 'ERROR|SUMMARY|Test unit written' "$LOGS/$f.log" | head -n 10 | sed 's/^/   /'
            fi
        done
        add "fuzzers (${FUZZ_SECONDS}s each)" "$fp" "$ff"
    else
        tail -n 30 "$LOGS/fuzz-config.log" "$LOGS/fuzz-build.log"
        add "fuzz build" 0 1
    fi
fi

# ---- 3. Windows build and platform tests under Wine -----------------------------------------
note "Windows build (MinGW-w64)"
win_ok=0
if cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
    >"$LOGS/win-config.log" 2>&1 &&
    cmake --build build-win -j"$JOBS" >"$LOGS/win-build.log" 2>&1; then
    win_ok=1
    bash scripts/wineprefix.sh
    (
        # The window tests need an X server; the services must not hold ctest's pipes.
        wine_env
        start_xvfb 80 || exit 1
        trap 'wine_down; stop_xvfb' EXIT
        wine_up
        note "platform tests under Wine"
        ctest --test-dir build-win --output-on-failure --timeout 600
    ) 2>&1 | tee "$LOGS/win-ctest.log" | grep -E '^ *[0-9]+/[0-9]+ Test|tests passed|Failed|\*\*\*'
    add_ctest "platform tests (Wine)" "$LOGS/win-ctest.log"
else
    tail -n 30 "$LOGS/win-config.log" "$LOGS/win-build.log"
    add "Windows build" 0 1
fi

# ---- 4. end-to-end --------------------------------------------------------------------------
if [ "$win_ok" = 1 ]; then
    note "end-to-end tests (Wine, Xvfb, xdotool)"
    bash tests/e2e/run_e2e.sh 2>&1 | tee "$LOGS/e2e.log"
    line=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$LOGS/e2e.log" | tail -1)
    if [ -n "$line" ]; then
        add "end-to-end" "${line%% passed*}" "$(sed -E 's/.*, ([0-9]+) failed/\1/' <<<"$line")"
    else
        add "end-to-end" 0 1
    fi
else
    add "end-to-end (no exe)" 0 1
fi

note "summary after $((SECONDS / 60)) min $((SECONDS % 60)) s (logs in $LOGS)"
for r in "${report[@]}"; do echo "   $r"; done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
