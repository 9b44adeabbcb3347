#!/usr/bin/env bash
# Builds and tests java/maven-test, a small application, with Debian's Maven (offline: the
# plugins come from /usr/share/maven-repo) against the Maven repository that
# `./build.sh package` writes, and the natives of the Linux archive beside it. JUnit runs in
# parallel: every clean test has to pass, and LeakTest.leaksTwoOrders has to fail for its
# own two orders.
#   java/maven-test/run.sh <folder of the archives> <version>
set -euo pipefail
project=$(cd "$(dirname "$0")" && pwd)
packages=$(cd "$1" && pwd)
version=$2
work=$(dirname "$packages")/maven-test
rm -rf "$work/project" "$work/JXelAgtbase-$version-linux-x86_64" "$work/m2/com/brel"
mkdir -p "$work"
tar xzf "$packages/JXelAgtbase-$version-linux-x86_64.tar.gz" -C "$work"
cp -r "$project" "$work/project"

status=0
mvn -B -s "$project/settings.xml" -Dmaven.repo.local="$work/m2" -f "$work/project/pom.xml" \
    -Djxel.version="$version" -Djxel.repository="file://$packages/maven" \
    -Djxel.natives="$work/JXelAgtbase-$version-linux-x86_64/lib" test >"$work/maven.log" 2>&1 ||
    status=$?
summary=$(grep -E '^\[(INFO|ERROR|WARNING)\] (Tests run:|  LeakTest|  [A-Za-z]+Test)' "$work/maven.log" | tail -n 4)
printf '%s\n' "$summary"
if [ "$status" -ne 0 ] &&
    grep -q '^\[ERROR\] Tests run: 7, Failures: 1, Errors: 0, Skipped: 0$' "$work/maven.log" &&
    grep -q 'LeakTest.leaksTwoOrders.*the test left 2 data objects alive' "$work/maven.log"; then
    echo "maven-test: as expected, 6 tests passed and LeakTest.leaksTwoOrders failed for its 2 orders"
else
    tail -n 60 "$work/maven.log"
    echo "maven-test: FAILED, expected 7 tests with exactly LeakTest.leaksTwoOrders failing (log: $work/maven.log)"
    exit 1
fi
