# SPDX-License-Identifier: MIT
# Installation: the shared library with its CMake package (target
# penrune::penrune) and pkg-config file, the static archive, the public
# headers, and the licence texts.
include(CMakePackageConfigHelpers)

install(TARGETS penrune EXPORT penruneTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT Development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS penrune_static ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
install(FILES ${PENRUNE_PUBLIC_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/penrune COMPONENT Development)

set(PENRUNE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/penrune)
install(EXPORT penruneTargets NAMESPACE penrune:: DESTINATION ${PENRUNE_CMAKE_DIR} COMPONENT Development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/penruneConfig.cmake.in
  ${PROJECT_BINARY_DIR}/penruneConfig.cmake INSTALL_DESTINATION ${PENRUNE_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/penruneConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/penruneConfig.cmake ${PROJECT_BINARY_DIR}/penruneConfigVersion.cmake
  DESTINATION ${PENRUNE_CMAKE_DIR} COMPONENT Development)

# The pkg-config file finds its prefix from its own place, so a staged or
# relocated installation works as well as the configured prefix.
file(RELATIVE_PATH PENRUNE_PC_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" PENRUNE_PC_PREFIX "${PENRUNE_PC_PREFIX}")
set(PENRUNE_PC_LIBS_PRIVATE "")
if(PENRUNE_BUILD_TOOLS)
  foreach(library ${LAPACK_LIBRARIES})
    string(APPEND PENRUNE_PC_LIBS_PRIVATE " ${library}")
  endforeach()
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/penrune.pc.in ${PROJECT_BINARY_DIR}/penrune.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/penrune.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Development)

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/NOTICE DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The larger recognition models and their lexicons, for hosts that load them
# with HWKernel_InitializeImages (README, "Larger models").
install(FILES ${PROJECT_SOURCE_DIR}/models/gb2312.dat ${PROJECT_SOURCE_DIR}/models/gb2312.lex
              ${PROJECT_SOURCE_DIR}/models/gb2312-big5.dat ${PROJECT_SOURCE_DIR}/models/gb2312-big5.lex
        DESTINATION ${CMAKE_INSTALL_DATADIR}/penrune/models)
