#!/usr/bin/env bash
# One entry point for everything: ./build.sh demo | test | bench | windows [msvcrt] | sanitize
#   | fuzz | stress | package [linux|windows]
# Each command installs what it needs (Debian 12, as root, with apt) and can be run again at no cost.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
JOBS=$(nproc)

say() { printf '\n== %s\n' "$*"; }

# Installs the Debian packages that are missing; nothing when all are there.
need_packages() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    say "installing ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

base_packages() {
    need_packages cmake g++ make openjdk-17-jdk-headless libgtest-dev libgmock-dev junit5 binutils
}

# configure_and_build PRESET [extra cmake args...]
configure_and_build() {
    local preset=$1
    shift
    cmake --preset "$preset" "$@" >/dev/null
    cmake --build --preset "$preset" -j "$JOBS"
}

cmd_test() {
    base_packages
    say "building (debug)"
    configure_and_build default
    say "running the tests"
    ctest --preset default
}

cmd_demo() {
    base_packages
    configure_and_build default
    say "demo"
    cmake --build --preset default --target demo
}

# Release build with the benchmarks; writes bench/results.md and bench/results.png.
cmd_bench() {
    need_packages cmake g++ make openjdk-17-jdk-headless libbenchmark-dev libjna-java gnuplot-nox
    say "building (release, with the benchmarks)"
    configure_and_build bench
    say "checking the vector UTF-8 code against the byte-wise code"
    "$ROOT/build-bench/bin/jxel_utf8_check"
    say "benchmarks (a few minutes)"
    "$ROOT/bench/run.sh" "$ROOT/build-bench"
}

# Cross-builds the 64-bit Windows DLLs with mingw-w64 for the Universal C runtime (or, with
# `windows msvcrt`, for msvcrt.dll into build/windows-msvcrt) and runs their tests under
# Wine, headless, in a Wine prefix of the build folder's own (build/windows/wine).
cmd_windows() {
    local preset=windows
    case "${1:-ucrt}" in
        ucrt) ;;
        msvcrt) preset=windows-msvcrt ;;
        *) usage ;;
    esac
    # clang and lld build the test program that links the DLL as Microsoft's compiler would.
    need_packages cmake make openjdk-17-jdk-headless googletest \
        g++-mingw-w64-x86-64-win32 wine64 wine clang lld
    say "cross-building for 64-bit Windows ($preset)"
    configure_and_build "$preset"
    # As tests/windows_wine.cmake.in sets them for CTest.
    export WINEPREFIX=$ROOT/build/$preset/wine WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
    unset DISPLAY
    say "starting Wine"
    trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
    # Wine's server and helpers keep the output of whoever starts them open, and CTest
    # waits on that: they are started here, attached to nothing, before the tests.
    [ -f "$WINEPREFIX/system.reg" ] || wine wineboot --init </dev/null >/dev/null 2>&1
    wineserver -w
    wineserver -p </dev/null >/dev/null 2>&1
    wine wineboot </dev/null >/dev/null 2>&1
    say "running the tests under Wine"
    ctest --preset "$preset"
}

# The C++ tests under ASan+UBSan and under TSan, the Java tests with the ASan build in
# the JVM, and valgrind over the C++ tests. One of asan, java-asan, tsan, valgrind, or all.
cmd_sanitize() {
    base_packages
    need_packages valgrind
    local what=${1:-all}
    if [[ $what == all || $what == asan || $what == java-asan ]]; then
        say "building with AddressSanitizer and UndefinedBehaviorSanitizer"
        configure_and_build asan
    fi
    if [[ $what == all || $what == asan ]]; then
        say "C++ tests under ASan and UBSan"
        ctest --preset asan -j "$JOBS"
    fi
    if [[ $what == all || $what == java-asan ]]; then
        # The JVM is not built with ASan: its runtime has to come first. LeakSanitizer would
        # fail at the JVM's exit, and the JVM takes SIGSEGV for itself.
        say "Java tests with the ASan build in the JVM"
        JXEL_ASAN_RUNTIME=$(gcc -print-file-name=libasan.so) ctest --preset asan-java
    fi
    if [[ $what == all || $what == tsan ]]; then
        say "building with ThreadSanitizer"
        configure_and_build tsan
        say "C++ tests under TSan"
        ctest --preset tsan
    fi
    if [[ $what == all || $what == valgrind ]]; then
        configure_and_build default
        local test
        for test in bridge_test standin_agent_test hardening_codeset_test hardening_concurrency_test; do
            say "valgrind: $test"
            HARDENING_STEPS=300 valgrind -q --error-exitcode=1 --errors-for-leak-kinds=definite \
                --leak-check=full "$ROOT/build/default/bin/$test" --gtest_brief=1
        done
    fi
}

# Fuzz targets (libFuzzer, clang), FUZZ_SECONDS each (default 60).
cmd_fuzz() {
    need_packages cmake make clang libclang-rt-14-dev openjdk-17-jdk-headless
    "$ROOT/fuzz/run.sh" "$@"
}

# The Java stress test for STRESS_SECONDS (default 30), then the C++ one with more steps.
cmd_stress() {
    base_packages
    configure_and_build default
    say "Java stress, ${STRESS_SECONDS:-30} s"
    JXEL_STRESS_SECONDS=${STRESS_SECONDS:-30} ctest --preset default -R '^java[0-9]+\.StressTest$' -V
    say "C++ concurrency test against the stand-in agent"
    HARDENING_STEPS=${HARDENING_STEPS:-20000} "$ROOT/build/default/bin/hardening_concurrency_test" \
        --gtest_brief=1
}

# The archives in build/packages: linux-x86_64 (.tar.gz) and windows-x86_64 (.zip,
# cross-built with mingw-w64). `package linux` or `package windows` builds one of them.
cmd_package() {
    local platforms=("$@") platform
    [ ${#platforms[@]} -gt 0 ] || platforms=(linux windows)
    for platform in "${platforms[@]}"; do
        case "$platform" in
            linux) need_packages cmake g++ make openjdk-17-jdk-headless junit5 ;;
            windows) need_packages cmake make openjdk-17-jdk-headless junit5 g++-mingw-w64-x86-64-win32 ;;
            *) usage ;;
        esac
    done
    mkdir -p "$ROOT/build/packages"
    for platform in "${platforms[@]}"; do
        say "building the $platform release"
        configure_and_build "package-$platform"
        cpack --preset "package-$platform"
        cp "$ROOT"/build/package-"$platform"/packages/JXelAgtbase-* "$ROOT/build/packages/"
    done
    say "archives"
    ls -l "$ROOT/build/packages"
}

usage() {
    sed -n '2,4p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
}

[ $# -ge 1 ] || usage
command=$1
shift
case "$command" in
    test) cmd_test "$@" ;;
    demo) cmd_demo "$@" ;;
    bench) cmd_bench "$@" ;;
    windows) cmd_windows "$@" ;;
    sanitize) cmd_sanitize "$@" ;;
    fuzz) cmd_fuzz "$@" ;;
    stress) cmd_stress "$@" ;;
    package) cmd_package "$@" ;;
    *) usage ;;
esac
