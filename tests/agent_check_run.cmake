# Runs jxel-agent-check and checks its exit status and its report.
#   cmake -DCHECK=<program> [-DEMULATOR=<wine>] [-DAGENT=<file>] -DEXIT=<status>
#         -DEXPECT=<regex> [-DOBJDUMP=<objdump> -DAGENT_DLL=<dll> -DBRIDGE_DLL=<dll>]
#         -P agent_check_run.cmake
# With OBJDUMP, the report must name the C runtime of each DLL as objdump reads it
# from the DLL's import table.
execute_process(COMMAND ${EMULATOR} ${CHECK} ${AGENT}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
set(runtimes "")
if(OBJDUMP AND AGENT_DLL)
  set(names "")
  foreach(dll IN ITEMS "${AGENT_DLL}" "${BRIDGE_DLL}")
    execute_process(COMMAND ${OBJDUMP} -p ${dll} OUTPUT_VARIABLE dump COMMAND_ERROR_IS_FATAL ANY)
    string(TOLOWER "${dump}" dump)
    string(REGEX MATCH "dll name: (msvcrt\\.dll|msvcr[0-9]+d?\\.dll|ucrtbase\\.dll|api-ms-win-crt-)"
      runtime "${dump}")
    string(REGEX REPLACE "ucrtbase\\.dll|api-ms-win-crt-" "UCRT" runtime "${CMAKE_MATCH_1}")
    string(REPLACE "." "\\." runtime "${runtime}")
    list(APPEND names "${runtime}")
  endforeach()
  list(GET names 0 agent)
  list(GET names 1 bridge)
  if(agent STREQUAL "" OR bridge STREQUAL "")
    message(FATAL_ERROR "objdump finds no C runtime DLL in ${AGENT_DLL} or ${BRIDGE_DLL}")
  endif()
  set(runtimes "C runtime: the agent uses ${agent}, JXelAgtbase\\.dll uses ${bridge};")
endif()
if(NOT status STREQUAL EXIT OR NOT out MATCHES "${EXPECT}" OR NOT out MATCHES "${runtimes}")
  message(FATAL_ERROR "expected exit status ${EXIT}, /${EXPECT}/ and /${runtimes}/, got ${status}:\n${out}")
endif()
message("${out}")
