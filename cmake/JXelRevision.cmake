# Run at build time: writes OUT, a header with the revision-control
# identification text, from the git checkout in SOURCE_DIR. The header is
# rewritten only when the text changes, so an unchanged tree rebuilds nothing.
#   cmake -DSOURCE_DIR=... -DOUT=... -P JXelRevision.cmake
set(text "$Revision: unknown, not built from a git checkout $ $Date: unknown $")
find_program(GIT git)
if(GIT)
  execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} rev-parse --abbrev-ref HEAD
                  OUTPUT_VARIABLE branch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE r1 ERROR_QUIET)
  execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} rev-list --count HEAD
                  OUTPUT_VARIABLE count OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE r2 ERROR_QUIET)
  execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} rev-parse --short=12 HEAD
                  OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE r3 ERROR_QUIET)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC
                          ${GIT} -C ${SOURCE_DIR} log -1 --date=format-local:%Y-%m-%d\ %H:%M:%S --format=%cd
                  OUTPUT_VARIABLE date OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE r4 ERROR_QUIET)
endif()

if(GIT AND r1 EQUAL 0 AND r2 EQUAL 0 AND r3 EQUAL 0 AND r4 EQUAL 0)
  set(text "$Revision: ${branch}/${count} (${commit}) $ $Date: ${date} UTC $")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/JXelWriteIfChanged.cmake)
jxel_write_if_changed(${OUT} "// Generated at build time; do not edit.\n#define JXEL_REVISION_TEXT \"${text}\"\n")
