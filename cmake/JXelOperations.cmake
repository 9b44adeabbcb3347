# The agent's operations, read from agentapi/operations.txt, the one place they are listed.
#
#   jxel_read_operations()
#     sets, in the caller's scope, parallel lists in the file's order:
#       JXEL_OP_ORDINALS  20;36;...
#       JXEL_OP_NAMES     xelagt_create_data_object;...
#       JXEL_OP_KINDS     status | text | none
#       JXEL_OP_CONSTANTS CREATE_DATA_OBJECT;...  (the name without xelagt_, upper case)
#     and JXEL_OP_SEEN_<CONSTANT>: the Javadoc sentences of the line, if it has any.
#
#   jxel_operations_header(OUT)
#     writes a C header with XELAGT_OPERATIONS(X), calling
#     X(ordinal, name, CONSTANT, kind) for every operation, an enum of
#     XELAGT_OP_<CONSTANT> = ordinal, and XELAGT_CAN_FAIL(kind), 0 for kind none.
set(JXEL_OPERATIONS_FILE ${CMAKE_CURRENT_LIST_DIR}/../agentapi/operations.txt)
cmake_path(NORMAL_PATH JXEL_OPERATIONS_FILE)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${JXEL_OPERATIONS_FILE})
include(${CMAKE_CURRENT_LIST_DIR}/JXelWriteIfChanged.cmake)

function(jxel_read_operations)
  file(STRINGS ${JXEL_OPERATIONS_FILE} lines REGEX "^[0-9]")
  set(ordinals "")
  set(names "")
  set(kinds "")
  set(constants "")
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^([0-9]+)[ \t]+(xelagt_[a-z_]+)[ \t]+(status|text|none)([ \t]+(.*))?$")
      message(FATAL_ERROR "${JXEL_OPERATIONS_FILE}: cannot read \"${line}\"")
    endif()
    if(CMAKE_MATCH_1 IN_LIST ordinals OR CMAKE_MATCH_2 IN_LIST names)
      message(FATAL_ERROR "${JXEL_OPERATIONS_FILE}: \"${line}\" repeats an ordinal or a name")
    endif()
    list(APPEND ordinals ${CMAKE_MATCH_1})
    list(APPEND names ${CMAKE_MATCH_2})
    list(APPEND kinds ${CMAKE_MATCH_3})
    set(seen "${CMAKE_MATCH_5}")
    string(REGEX REPLACE "^xelagt_" "" constant ${CMAKE_MATCH_2})
    string(TOUPPER ${constant} constant)
    list(APPEND constants ${constant})
    set(JXEL_OP_SEEN_${constant} "${seen}" PARENT_SCOPE)
  endforeach()
  set(JXEL_OP_ORDINALS ${ordinals} PARENT_SCOPE)
  set(JXEL_OP_NAMES ${names} PARENT_SCOPE)
  set(JXEL_OP_KINDS ${kinds} PARENT_SCOPE)
  set(JXEL_OP_CONSTANTS ${constants} PARENT_SCOPE)
endfunction()

function(jxel_operations_header out)
  jxel_read_operations()
  set(content "/* Generated from agentapi/operations.txt; do not edit. */\n")
  string(APPEND content "#define XELAGT_OPERATIONS(X)")
  foreach(ordinal name kind constant IN ZIP_LISTS JXEL_OP_ORDINALS JXEL_OP_NAMES JXEL_OP_KINDS
                                                  JXEL_OP_CONSTANTS)
    string(APPEND content " \\\n    X(${ordinal}, ${name}, ${constant}, ${kind})")
  endforeach()
  string(APPEND content "\n#define XELAGT_OP_ENUMERATOR(ordinal, name, constant, kind) XELAGT_OP_##constant = ordinal,\n"
                        "enum { XELAGT_OPERATIONS(XELAGT_OP_ENUMERATOR) };\n"
                        "#undef XELAGT_OP_ENUMERATOR\n"
                        "/* XELAGT_CAN_FAIL(kind): 1 for the kinds that can report a failure. */\n"
                        "#define XELAGT_CAN_FAIL(kind) XELAGT_CAN_FAIL_##kind\n"
                        "#define XELAGT_CAN_FAIL_status 1\n#define XELAGT_CAN_FAIL_text 1\n"
                        "#define XELAGT_CAN_FAIL_none 0\n")
  jxel_write_if_changed(${out} "${content}")
endfunction()

# Where jxel_generate_operations() writes; also read by JXelWindowsBuild.cmake.
set(JXEL_OPERATIONS_DIR ${CMAKE_BINARY_DIR}/generated/agentapi)

#   jxel_generate_operations()
#     writes into JXEL_OPERATIONS_DIR what the build takes from the table:
#       xelagt_operations.h  XELAGT_OPERATIONS(X) and the XELAGT_OP_<CONSTANT> ordinals
#       xelagtapi.def        the Windows ordinal table, every operation NONAME
#       xelagtapi.map        the Linux version script: the operations and test control
function(jxel_generate_operations)
  jxel_read_operations()
  set(dir ${JXEL_OPERATIONS_DIR})
  jxel_operations_header(${dir}/xelagt_operations.h)

  set(def "; Generated from agentapi/operations.txt; do not edit.\n")
  string(APPEND def "; The bridge imports every operation by ordinal only (NONAME).\n")
  string(APPEND def "LIBRARY libxelagtapi.dll\nEXPORTS\n")
  set(map "/* Generated from agentapi/operations.txt; do not edit. Anonymous node: no symbol versions. */\n{\n  global:\n")
  foreach(ordinal name IN ZIP_LISTS JXEL_OP_ORDINALS JXEL_OP_NAMES)
    string(APPEND def "    ${name} @${ordinal} NONAME\n")
    string(APPEND map "    ${name};\n")
  endforeach()
  string(APPEND map "    xelagt_test_*;\n  local: *;\n};\n")
  jxel_write_if_changed(${dir}/xelagtapi.def "${def}")
  jxel_write_if_changed(${dir}/xelagtapi.map "${map}")
endfunction()

# jxel_stub_agent(<target> <folder> [WITHOUT <operation>])
#   builds <folder>/libxelagtapi.so (Windows: libxelagtapi.dll, by ordinal as the stand-in):
#   every operation (all but WITHOUT) returning 0 and doing nothing, and no test control.
#   The tests load it in place of an agent.
function(jxel_stub_agent target folder)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "WITHOUT" "")
  jxel_read_operations()
  set(source "/* Generated: an agent whose operations do nothing")
  if(arg_WITHOUT)
    string(APPEND source ", without ${arg_WITHOUT}")
  endif()
  string(APPEND source ". */\n")
  set(def "LIBRARY libxelagtapi.dll\nEXPORTS\n")
  set(export "__attribute__((visibility(\"default\"))) ")
  if(WIN32)
    set(export "")  # the .def exports
  endif()
  foreach(ordinal name IN ZIP_LISTS JXEL_OP_ORDINALS JXEL_OP_NAMES)
    if(NOT name STREQUAL arg_WITHOUT)
      string(APPEND source "${export}int ${name}(void) { return 0; }\n")
      string(APPEND def "    ${name} @${ordinal} NONAME\n")
    endif()
  endforeach()
  file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${target}.c CONTENT "${source}")
  add_library(${target} SHARED ${CMAKE_CURRENT_BINARY_DIR}/${target}.c)
  if(WIN32)
    file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${target}.def CONTENT "${def}")
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.def)
  endif()
  set_target_properties(${target} PROPERTIES OUTPUT_NAME xelagtapi PREFIX "lib"
    LIBRARY_OUTPUT_DIRECTORY ${folder} RUNTIME_OUTPUT_DIRECTORY ${folder}
    ARCHIVE_OUTPUT_DIRECTORY ${folder})
endfunction()
