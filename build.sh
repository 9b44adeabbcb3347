#!/usr/bin/env bash
# One entry point for everything: ./build.sh demo | test | bench | windows | fuzz | stress | package
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

usage() {
    sed -n '2,3p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
}

[ $# -ge 1 ] || usage
command=$1
shift
case "$command" in
    test) cmd_test "$@" ;;
    demo) cmd_demo "$@" ;;
    bench) cmd_bench "$@" ;;
    *) usage ;;
esac
