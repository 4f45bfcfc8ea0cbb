# The project's version (project() in the top CMakeLists.txt) is the only one
# to edit. Everything else follows it:
#  - the macros TAV_VERSION_* at the top of include/tav/tav.h and __version__
#    in python/tav/__init__.py, rewritten here when they differ (the changed
#    files are then committed with the bump); the tool prints
#    TAV_VERSION_STRING;
#  - the SONAME of the three libraries: lib<name>.so.<major>;
#  - the pkg-config, CMake package, Debian package and Python wheel versions.
# TAV_VERSION holds the version for other CMake files.
set(TAV_VERSION ${PROJECT_VERSION})
set(TAV_SOVERSION ${PROJECT_VERSION_MAJOR})

# Rewrites a source file whose version lines differ from the project's.
function(tav_sync_version file)
  file(READ ${PROJECT_SOURCE_DIR}/${file} text)
  set(synced "${text}")
  foreach(part MAJOR MINOR PATCH)
    string(REGEX REPLACE "#define TAV_VERSION_${part} [0-9]+" "#define TAV_VERSION_${part} ${PROJECT_VERSION_${part}}"
      synced "${synced}")
  endforeach()
  string(REGEX REPLACE "(TAV_VERSION_STRING |__version__ = )\"[^\"]*\"" "\\1\"${PROJECT_VERSION}\"" synced "${synced}")
  if(NOT synced STREQUAL text)
    file(WRITE ${PROJECT_SOURCE_DIR}/${file} "${synced}")
    message(STATUS "${file}: version set to ${PROJECT_VERSION}")
  endif()
endfunction()
tav_sync_version(include/tav/tav.h)
tav_sync_version(python/tav/__init__.py)
