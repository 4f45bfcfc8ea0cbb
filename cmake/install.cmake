include(CMakePackageConfigHelpers)

# Installed binaries find the libraries beside or below themselves, wherever
# the prefix is moved: libtav finds libztcimg and libztbase (also when it opens
# the image library by name at run time), the tool finds libtav.
set_target_properties(ztbase ztcimg tav PROPERTIES INSTALL_RPATH "$ORIGIN")
if(TARGET tav_tool)
  file(RELATIVE_PATH TAV_BIN_TO_LIB /${CMAKE_INSTALL_BINDIR} /${CMAKE_INSTALL_LIBDIR})
  set_target_properties(tav_tool PROPERTIES INSTALL_RPATH "$ORIGIN/${TAV_BIN_TO_LIB}")
endif()

# The run-time files (lib*.so.1 and what they link to) are the component libs;
# the unversioned links that only the linker reads go with the headers (dev).
install(TARGETS ztbase ztcimg tav EXPORT tavTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT libs NAMELINK_COMPONENT dev
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT libs)
install(FILES include/tav/tav.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tav COMPONENT dev)
install(FILES include/zt/ztbase.h include/zt/ztcimg.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zt COMPONENT dev)

install(EXPORT tavTargets NAMESPACE tav:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tav COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/tavConfig.cmake.in
  ${PROJECT_BINARY_DIR}/tavConfig.cmake INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tav)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/tavConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/tavConfig.cmake ${PROJECT_BINARY_DIR}/tavConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tav COMPONENT dev)

# The prefix is found from where the .pc file lies, so that a tree installed
# with `cmake --install --prefix` anywhere gives the right paths.
file(RELATIVE_PATH TAV_PC_UP /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
set(TAV_PC_PREFIX "\${pcfiledir}/${TAV_PC_UP}")
string(REGEX REPLACE "/$" "" TAV_PC_PREFIX "${TAV_PC_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/tav.pc.in ${PROJECT_BINARY_DIR}/tav.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tav.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
