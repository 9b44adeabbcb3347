# Run at build time: writes OUT, a header defining JXEL_BUILD_DATE, the time of
# the build in UTC as asctime writes it ("Mon Dec  7 22:02:55 2026"). When
# SOURCE_DATE_EPOCH is set, string(TIMESTAMP) takes the time from it.
#   cmake -DOUT=... -P JXelBuildDate.cmake
string(TIMESTAMP now "%a %b %d %H:%M:%S %Y" UTC)
# asctime pads the day of the month with a blank, strftime's %d with a zero.
string(REGEX REPLACE "^([A-Za-z]+ [A-Za-z]+) 0" "\\1  " now "${now}")
file(WRITE ${OUT} "// Generated at build time; do not edit.\n#define JXEL_BUILD_DATE \"${now}\"\n")
