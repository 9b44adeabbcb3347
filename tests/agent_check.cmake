# jxel-agent-check against the stand-in, an agent lacking an operation, a file that is
# no agent, and on Windows an agent on the other C runtime (tests/agent_check_run.cmake).
include(JXelOperations)
jxel_stub_agent(jxel_agent_without_convert ${CMAKE_CURRENT_BINARY_DIR}/agent-without-convert
  WITHOUT xelagt_convert_text)

# Windows: the runtimes named must be those objdump reads from the import tables.
set(binding "by name")
set(runtimes "")
if(WIN32)
  set(binding "by ordinal")
  set(runtimes -DOBJDUMP=${CMAKE_OBJDUMP} -DBRIDGE_DLL=$<TARGET_FILE:JXelAgtbase>)
endif()
# jxel_agent_check_test(<name> <exit> <regex> <agent argument> <its DLL> [<current folder>])
function(jxel_agent_check_test name exit expect agent agent_dll)
  # On Windows the stand-in is found in the current folder, as the bridge would find it.
  set(folder $<TARGET_FILE_DIR:xelagtapi>)
  if(ARGC GREATER 5)
    set(folder ${ARGV5})
  endif()
  add_test(NAME agent_check_${name}
    COMMAND ${CMAKE_COMMAND} -DCHECK=$<TARGET_FILE:jxel_agent_check>
            "-DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}" "-DAGENT=${agent}" -DEXIT=${exit}
            "-DEXPECT=${expect}" ${runtimes} -DAGENT_DLL=${agent_dll}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/agent_check_run.cmake
    WORKING_DIRECTORY ${folder})
endfunction()

# The agent the bridge would load: the stand-in.
jxel_agent_check_test(standin 0 "operations: 21 of 21, ${binding}.*fits:" "" $<TARGET_FILE:xelagtapi>)
set(partial $<TARGET_FILE:jxel_agent_without_convert>)
jxel_agent_check_test(missing_operation 1 "missing: 365 xelagt_convert_text.*lacks 365 xelagt_convert_text:"
  ${partial} ${partial})
jxel_agent_check_test(not_an_agent 2 "cannot load the agent: .*(No such file|error 126)"
  ${CMAKE_CURRENT_BINARY_DIR}/no-such-agent "")
if(WIN32)
  # The stand-in beside the check and the bridge only, where Windows does not look for it.
  jxel_agent_check_test(beside_the_bridge 1 "operations: 21 of 21.*does not look for libxelagtapi"
    "" $<TARGET_FILE:xelagtapi> ${CMAKE_CURRENT_BINARY_DIR})
endif()
# The stand-in on the C runtime the bridge does not use, where the build makes one.
if(TARGET xelagt_other_crt_agent)
  set(other ${CMAKE_BINARY_DIR}/other-crt/libxelagtapi.dll)
  jxel_agent_check_test(other_crt 1 "msvcrt.*does not fit:.*JXEL_WINDOWS_CRT" ${other} ${other})
endif()
