#!/usr/bin/env bash
# One entry point for everything; ./build.sh --help lists the commands.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
JOBS=${JOBS:-$(nproc)}

usage() {
    cat <<'EOF_USAGE'
Usage: ./build.sh <command> [arguments]

Each command installs what it needs (Debian 12, as root or with sudo, with apt) and can be
run again at no cost: it rebuilds only what changed.

Commands:
  test                   Debug build (build/default) and every C++ and Java test; the Java
                         tests once per JDK found (java17.*, java25.*, ...)
  demo                   builds the demo and what it loads, nothing else, and runs it
  windows [msvcrt]       cross-builds the 64-bit Windows DLLs with mingw-w64 for the Universal
                         C runtime (build/windows), or for msvcrt.dll (build/windows-msvcrt),
                         and runs their tests under Wine
  package [PLATFORM...]  release archives in build/packages; PLATFORM is linux (.tar.gz)
                         or windows (.zip); both when none is given
  maven                  the Linux archive, then a small Maven project (java/maven-test)
                         built with Debian's Maven against build/packages/maven, its
                         JUnit tests in parallel
  bench                  release build with the benchmarks; writes bench/results.md and .png
  sanitize [MODE...]     the tests under sanitizers; every mode but java-asan-all when none
                         is given. MODE is one of:
                           asan           the C++ tests under ASan, UBSan and LeakSanitizer
                           java-asan      the Java tests with the ASan build in the JVM,
                                          on the JDK the build compiles with
                           java-asan-all  the same on every JDK the tests run on
                           tsan           the C++ tests that start threads, under TSan
                           valgrind       four C++ test programs under valgrind's memcheck
  fuzz [TARGET...]       the libFuzzer targets (build/fuzz), FUZZ_SECONDS each; TARGET is
                         utf8, convert or standin; all three when none is given
  stress                 the Java stress test for STRESS_SECONDS, then the C++ concurrency
                         test for HARDENING_STEPS steps a thread
  deep                   what CI runs on each change, at full depth (about 20 minutes):
                         sanitize with every mode, fuzz for 60 s a target, stress for 30 s
  help, --help, -h       this text

Variables:
  FUZZ_SECONDS       fuzz: seconds each target runs (default 60; CI sets 25)
  STRESS_SECONDS     stress: seconds of the Java stress test (default 30; CI sets 10)
  HARDENING_STEPS    stress: steps a thread of the C++ concurrency test (default 20000)
  JAVA_HOME          the JDK to build with; without it, the one whose javac is on PATH
  JOBS               parallel build jobs (default: the number of processors)
  SOURCE_DATE_EPOCH  windows, package: the build time written into the DLLs' resources
EOF_USAGE
}

say() { printf '\n== %s\n' "$*"; }

# Says what was wrong, then how to call the script.
fail() {
    printf 'build.sh: %s\n\n' "$*" >&2
    usage >&2
    exit 2
}

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
    run_cpp_tests_under_asan
}

# The C++ tests again under ASan, UBSan and LeakSanitizer: leaks and heap misuse of the
# bridge and the conversion, on paths the plain run passes by chance, and reads past the
# texts by the vector code (utf8_vector_check, the table check).
run_cpp_tests_under_asan() {
    say "building the C++ tests with ASan and UBSan"
    cmake --preset asan >/dev/null
    cmake --build --preset asan -j "$JOBS" --target bridge_test standin_agent_test \
        hardening_concurrency_test hardening_codeset_test utf8_vector_check
    say "C++ tests under ASan, UBSan and LeakSanitizer"
    # The preset's filter leaves out the JVM's tests; -E replaces its name filter with the
    # tests that are no C++ test program.
    ctest --preset asan -j "$JOBS" --output-on-failure \
        -E "^consumer_|^agent_check_|^exported_symbols$|^readme_version$"
}

# Only the demo's jars and the two libraries it loads: no test program.
cmd_demo() {
    base_packages
    cmake --preset default >/dev/null
    say "building and running the demo"
    cmake --build --preset default -j "$JOBS" --target demo
}

# Release build with the benchmarks; writes bench/results.md and bench/results.png.
cmd_bench() {
    need_packages cmake g++ make openjdk-17-jdk-headless libbenchmark-dev libjna-java gnuplot-nox \
        valgrind
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
        *) fail "windows: unknown C runtime '$1' (ucrt or msvcrt)" ;;
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

# The tests under sanitizers, by mode (see usage); every mode but java-asan-all when none is given.
cmd_sanitize() {
    local modes=("$@") mode
    [ ${#modes[@]} -gt 0 ] || modes=(asan java-asan tsan valgrind)
    for mode in "${modes[@]}"; do
        case "$mode" in
            asan | java-asan | java-asan-all | tsan | valgrind) ;;
            *) fail "sanitize: unknown mode '$mode' (asan, java-asan, java-asan-all, tsan or valgrind)" ;;
        esac
    done
    base_packages
    need_packages valgrind
    for mode in "${modes[@]}"; do
        "sanitize_${mode//-/_}"
    done
}

sanitize_asan() {
    say "building with AddressSanitizer and UndefinedBehaviorSanitizer"
    configure_and_build asan
    say "C++ tests under ASan and UBSan"
    ctest --preset asan -j "$JOBS"
}

# The JVM is not built with ASan: its runtime has to come first. LeakSanitizer would fail at
# the JVM's exit, and the JVM takes SIGSEGV for itself. On one JDK, the build's own: what the
# native code does is the same on the others, which ./build.sh test runs it on.
sanitize_java_asan() {
    say "building with AddressSanitizer and UndefinedBehaviorSanitizer"
    configure_and_build asan
    local java version
    java=$(sed -n 's/^Java_JAVA_EXECUTABLE:[A-Z]*=//p' "$ROOT/build/asan/CMakeCache.txt")
    version=$("$java" -XshowSettings:properties -version 2>&1 | sed -n 's/^ *java.version = \([0-9]*\).*/\1/p')
    say "Java tests on JDK $version with the ASan build in the JVM"
    JXEL_ASAN_RUNTIME=$(gcc -print-file-name=libasan.so) ctest --preset asan-java -R "^java($version)?\."
}

sanitize_java_asan_all() {
    say "building with AddressSanitizer and UndefinedBehaviorSanitizer"
    configure_and_build asan
    say "Java tests on every JDK with the ASan build in the JVM"
    JXEL_ASAN_RUNTIME=$(gcc -print-file-name=libasan.so) ctest --preset asan-java
}

# The single-threaded tests (utf8_vector_check, JvmLimitTest) are left to ASan: TSan would
# spend minutes on them and can find nothing there (the test preset leaves them out).
sanitize_tsan() {
    say "building with ThreadSanitizer"
    configure_and_build tsan
    say "C++ tests with threads, under TSan"
    ctest --preset tsan
}

sanitize_valgrind() {
    configure_and_build default
    local test
    for test in bridge_test standin_agent_test hardening_codeset_test hardening_concurrency_test; do
        say "valgrind: $test"
        HARDENING_STEPS=300 valgrind -q --error-exitcode=1 --errors-for-leak-kinds=definite \
            --leak-check=full "$ROOT/build/default/bin/$test" --gtest_brief=1
    done
}

# Fuzz targets (libFuzzer, clang; preset fuzz), FUZZ_SECONDS each (default 60).
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

# CI's hardening at full depth: every sanitizer mode (the Java tests under ASan on every JDK),
# 60 s of fuzzing a target and the 30 s stress run. Before a release, and after a change to
# how bridge/, convert/ or agent/ handle memory or threads.
cmd_deep() {
    cmd_sanitize asan java-asan-all tsan valgrind
    FUZZ_SECONDS=${FUZZ_SECONDS:-60} cmd_fuzz
    cmd_stress
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
            *) fail "package: unknown platform '$platform' (linux or windows)" ;;
        esac
    done
    mkdir -p "$ROOT/build/packages"
    for platform in "${platforms[@]}"; do
        say "building the $platform release"
        configure_and_build "package-$platform"
        cpack --preset "package-$platform"
        cp "$ROOT"/build/package-"$platform"/packages/JXelAgtbase-* "$ROOT/build/packages/"
    done
    # Every archive carries the Maven repository in share/maven; one copy goes beside them.
    rm -rf "$ROOT/build/packages/maven"
    cp -r "$ROOT/build/package-${platforms[0]}/java/maven" "$ROOT/build/packages/maven"
    (cd "$ROOT/build/packages" && sha256sum JXelAgtbase-* >SHA256SUMS)
    say "archives"
    ls -l "$ROOT/build/packages"
}

# The Linux archive, then java/maven-test (an application's JUnit tests, in parallel) built
# with Debian's Maven, offline, against build/packages/maven and the archive's natives.
cmd_maven() {
    need_packages maven libmaven-compiler-plugin-java libsurefire-java libmaven-resources-plugin-java
    cmd_package linux
    say "a Maven project against build/packages/maven"
    "$ROOT/java/maven-test/run.sh" "$ROOT/build/packages" \
        "$(sed -n 's/^project(JXelAgtbase VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")"
}

[ $# -ge 1 ] || fail "no command given"
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
    deep) cmd_deep "$@" ;;
    package) cmd_package "$@" ;;
    maven) cmd_maven "$@" ;;
    help | --help | -h) usage ;;
    *) fail "unknown command '$command'" ;;
esac
