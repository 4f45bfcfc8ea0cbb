# Debian packages through CPack, made from this build tree (`make deb`, or
# `cpack -G DEB` in the build directory): every install rule belongs to one of
# the components below, and each component becomes one package.
#   libs    libtav<SOVERSION>  the three shared libraries
#   dev     libtav-dev         headers, the libtav.so links, CMake package, tav.pc
#   tools   tav-tools          the tool and its manual page
#   python  python3-tav        the Python package
# Installed under /usr with the build's layout (lib/, lib/python3.X/dist-packages);
# the run paths relative to $ORIGIN that make an install prefix movable are
# allowed in Debian packages and let an unpacked tree run where it lies.
set(TAV_DEB_LIB_PACKAGE libtav${TAV_SOVERSION})
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc)
set(TAV_DEB_MAINTAINER "tav developers <maintainers@tav.example.org>" CACHE STRING
  "Maintainer field of the Debian packages: \"name <address>\"")
# The changelog's date is the build's (SOURCE_DATE_EPOCH when set).
string(TIMESTAMP TAV_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)

# Every package carries its copyright file and changelog (gzip -9n gives the
# same bytes on every build: no name, no time stamp).
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/tav.1.in ${PROJECT_BINARY_DIR}/packaging/tav.1 @ONLY)
foreach(page changelog tav.1)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/${page}.gz
    COMMAND gzip -9n -c ${page} > ${page}.gz
    DEPENDS ${PROJECT_BINARY_DIR}/packaging/${page}
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/packaging)
endforeach()
add_custom_target(tav_package_docs ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  ${PROJECT_BINARY_DIR}/packaging/tav.1.gz)

set(TAV_DEB_PACKAGES ${TAV_DEB_LIB_PACKAGE} libtav-dev)
set(components libs dev)
if(TARGET tav_tool)
  list(APPEND TAV_DEB_PACKAGES tav-tools)
  list(APPEND components tools)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/tav.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
endif()
if(TARGET tav_python)
  list(APPEND TAV_DEB_PACKAGES python3-tav)
  list(APPEND components python)
endif()
foreach(component package IN ZIP_LISTS components TAV_DEB_PACKAGES)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
    DESTINATION ${doc_dir}/${package} COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tav)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TAV_DEB_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${components})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies on system libraries come from dpkg-shlibdeps, those between
# these packages from the component dependencies, pinned to this version.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps looks for these libraries in the build tree (they are in
# another package's staging folder); having no package, they give no dependency.
foreach(lib ztbase ztcimg tav)
  get_target_property(dir ${lib} BINARY_DIR)
  list(APPEND CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${dir})
endforeach()
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_DEV_DEPENDS libs)
set(CPACK_COMPONENT_TOOLS_DEPENDS libs)
set(CPACK_COMPONENT_PYTHON_DEPENDS libs)

set(CPACK_DEBIAN_LIBS_PACKAGE_NAME ${TAV_DEB_LIB_PACKAGE})
# The shlibs file of the libraries' package (the other packages have none).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_LIBS_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/triggers)
set(CPACK_DEBIAN_LIBS_DESCRIPTION "sample image lists - shared libraries
libtav reads, writes and edits sample image lists: labelled images or float
vectors from which image classifiers and regressors are trained. This package
holds libtav with its base-object library (libztbase) and image library
(libztcimg).")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libtav-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_DESCRIPTION "sample image lists - development files
The C headers of libtav, libztbase and libztcimg, the links to link against
them, the CMake package (find_package(tav), target tav::tav) and the
pkg-config file (tav).")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME tav-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "sample image lists - command-line tool
The tool tav shows, verifies, exports and edits list files, builds them from
folders of labelled images and converts files of the version-1 format.")

set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-tav)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
if(TARGET tav_python)
  # The extension is built for one interpreter version (the one python/ found).
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(py ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR})
  math(EXPR py_next "${Python3_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
    "python3 (>= ${py}~), python3 (<< ${Python3_VERSION_MAJOR}.${py_next}), python3-numpy")
endif()
set(CPACK_DEBIAN_PYTHON_DESCRIPTION "sample image lists - Python 3 package
The package tav opens, builds and stores sample image lists from Python, with
their images and labels as NumPy arrays for training code.")

include(CPack)
