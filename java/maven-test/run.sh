#!/usr/bin/env bash
# The README's Maven example as written (OrderStore, OrderStoreTest, junit-platform.properties
# with JUnit in parallel, pom.xml), plus LeakTest and NeighbourTest from here, built and tested
# with Debian's Maven offline against the repository of `./build.sh package` and the natives of
# its Linux archive. Every clean test has to pass, and LeakTest.leaksTwoOrders has to fail for
# its own two orders.
#   java/maven-test/run.sh <folder of the archives> <version>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
packages=$(cd "$1" && pwd)
work=$(dirname "$packages")/maven-test
top=$work/JXelAgtbase-$2-linux-x86_64 # the README's ${jxel}
rm -rf "$work/orders" "$top" "$work/m2/com/brel"
mkdir -p "$work/orders/src/main/java" "$work/orders/src/test/resources"
tar xzf "$packages/JXelAgtbase-$2-linux-x86_64.tar.gz" -C "$work"
rm -r "$top/share/maven" && ln -s "$packages/maven" "$top/share/maven"
readme() { sed -n "\\|^cat > $1 <<'$2'\$|,\\|^$2\$|p" "$here/../../README.md" | sed '1d;$d'; }
readme OrderStore.java JAVA >"$work/orders/src/main/java/OrderStore.java"
cp -r "$here/src" "$work/orders/"
readme OrderStoreTest.java JAVA >"$work/orders/src/test/java/OrderStoreTest.java"
readme src/test/resources/junit-platform.properties PROPERTIES \
    >"$work/orders/src/test/resources/junit-platform.properties"
readme pom.xml POM >"$work/orders/pom.xml"

status=0
(cd "$work/orders" && mvn -B -s "$here/settings.xml" -Dmaven.repo.local="$work/m2" -Djxel="$top" test) \
    >"$work/maven.log" 2>&1 || status=$?
grep -E '^\[(ERROR|INFO)\] (  LeakTest|Tests run: [0-9]+, Failures: [0-9]+, Errors: [0-9]+, Skipped: [0-9]+$)' \
    "$work/maven.log"
if [ "$status" -ne 0 ] && grep -q '^\[ERROR\] Tests run: 7, Failures: 1, Errors: 0, Skipped: 0$' "$work/maven.log" &&
    grep -q 'LeakTest.leaksTwoOrders the test left 2 data objects alive' "$work/maven.log"; then
    echo "maven-test: as expected, 6 tests passed and LeakTest.leaksTwoOrders failed for its 2 orders"
else
    tail -n 60 "$work/maven.log"
    echo "maven-test: FAILED, expected 7 tests, only LeakTest.leaksTwoOrders failing (log: $work/maven.log)"
    exit 1
fi
