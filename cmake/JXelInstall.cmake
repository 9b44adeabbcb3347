# Install layout:
#   lib/                       the bridge, libJXelAgtbase
#   lib/xelagtapi-standin/     the stand-in agent (deployments use the real agent);
#                              on Windows the DLLs go to bin/ and bin/xelagtapi-standin/
#   include/                   jxel_convert.h, xelagtapi.h, and standin.h with xelagt_operations.h
#   lib/cmake/JXelAgtbase/     the CMake package: JXelAgtbase::JXelAgtbase and
#                              JXelAgtbase::xelagtapi (the agent, for release buffer)
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
include(JXelOperations)  # JXEL_OPERATIONS_DIR

set(JXEL_STANDIN_DIR ${CMAKE_INSTALL_LIBDIR}/xelagtapi-standin)
set(JXEL_STANDIN_BINDIR ${CMAKE_INSTALL_BINDIR}/xelagtapi-standin)

# The installed bridge looks for the agent beside itself first, then in the
# stand-in's folder; LD_LIBRARY_PATH or a real agent beside it takes precedence.
set_target_properties(JXelAgtbase PROPERTIES INSTALL_RPATH "\$ORIGIN;\$ORIGIN/xelagtapi-standin")
target_include_directories(JXelAgtbase INTERFACE $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/convert>
                                                $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS JXelAgtbase EXPORT JXelAgtbaseTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS xelagtapi EXPORT JXelAgtbaseTargets
  LIBRARY DESTINATION ${JXEL_STANDIN_DIR}
  RUNTIME DESTINATION ${JXEL_STANDIN_BINDIR}
  ARCHIVE DESTINATION ${JXEL_STANDIN_DIR})
target_include_directories(xelagtapi INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
install(FILES ${PROJECT_SOURCE_DIR}/convert/jxel_convert.h ${PROJECT_SOURCE_DIR}/agentapi/xelagtapi.h
              ${PROJECT_SOURCE_DIR}/agent/standin.h ${JXEL_OPERATIONS_DIR}/xelagt_operations.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT JXelAgtbaseTargets NAMESPACE JXelAgtbase::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/JXelAgtbase)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/JXelAgtbaseConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/JXelAgtbaseConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/JXelAgtbase)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/JXelAgtbaseConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/JXelAgtbaseConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/JXelAgtbaseConfigVersion.cmake
              ${PROJECT_SOURCE_DIR}/cmake/JXelJavaHome.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/JXelAgtbase)
