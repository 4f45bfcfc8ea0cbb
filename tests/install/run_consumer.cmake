# Runs a command; a status other than 0 stops the test with the message.
function(must what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_QUIET)
  if(rc)
    message(FATAL_ERROR "${what} failed: ${rc}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK})
must("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK}/prefix)
set(flags)
if(SANITIZE)
  set(flags -fsanitize=address,undefined)
endif()
set(cc ${CC} -std=c11 -Wall -Wextra -Werror ${flags})

# Without LD_LIBRARY_PATH, the installed tool and a program linked with only
# -ltav find every library (libtav the image library too) by their run paths.
unset(ENV{LD_LIBRARY_PATH})
file(WRITE ${WORK}/images/a/one.pgm "P2 2 2 255 0 64 128 255\n")
file(WRITE ${WORK}/images/a/two.pgm "P2 2 2 255 0 64 128 255\n")
must("the installed tool without LD_LIBRARY_PATH"
  ${WORK}/prefix/bin/tav create-from-dir ${WORK}/images ${WORK}/two.tav --size 2x2)
must("linking with only -ltav" ${cc} ${CMAKE_CURRENT_LIST_DIR}/tav_only.c
  -I ${WORK}/prefix/include -L ${WORK}/prefix/lib -ltav -Wl,-rpath,${WORK}/prefix/lib -o ${WORK}/tav_only)
must("a program linked with only -ltav without LD_LIBRARY_PATH" ${WORK}/tav_only ${WORK}/two.tav)

# Built as the README says, both run without LD_LIBRARY_PATH: the example of
# examples/ as a CMake project with find_package, and the consumer program
# with the flags pkg-config gives (the three libraries) and a run path to its
# libdir.
must("configuring the example with find_package(tav)" ${CMAKE_COMMAND} -S ${EXAMPLE_DIR} -B ${WORK}/example-cmake
  -DCMAKE_PREFIX_PATH=${WORK}/prefix -DCMAKE_C_COMPILER=${CC} "-DCMAKE_C_FLAGS=-Wall -Wextra -Werror ${flags}"
  "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
must("building the example with find_package(tav)" ${CMAKE_COMMAND} --build ${WORK}/example-cmake)
must("the example built with find_package(tav)" ${WORK}/example-cmake/list_example ${WORK}/example-cmake.tav)

set(ENV{PKG_CONFIG_PATH} ${WORK}/prefix/lib/pkgconfig)
execute_process(COMMAND pkg-config --cflags --libs tav OUTPUT_VARIABLE pc_flags RESULT_VARIABLE rc
  OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND pkg-config --variable=libdir tav OUTPUT_VARIABLE pc_libdir OUTPUT_STRIP_TRAILING_WHITESPACE)
if(rc OR NOT IS_DIRECTORY "${pc_libdir}")
  message(FATAL_ERROR "pkg-config does not know tav")
endif()
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
must("building the consumer program with pkg-config" ${cc} ${SOURCE} ${pc_flags} -Wl,-rpath,${pc_libdir}
  -o ${WORK}/consumer)
must("the consumer program built with pkg-config" ${WORK}/consumer)
