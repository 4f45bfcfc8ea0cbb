file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK}/prefix
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(rc)
  message(FATAL_ERROR "install failed")
endif()
set(flags)
if(SANITIZE)
  set(flags -fsanitize=address,undefined)
endif()

# Without LD_LIBRARY_PATH, the installed tool and a program linked with only
# -ltav find every library (libtav the image library too) by their run paths.
unset(ENV{LD_LIBRARY_PATH})
file(WRITE ${WORK}/images/a/one.pgm "P2 2 2 255 0 64 128 255\n")
file(WRITE ${WORK}/images/a/two.pgm "P2 2 2 255 0 64 128 255\n")
execute_process(COMMAND ${WORK}/prefix/bin/tav create-from-dir ${WORK}/images ${WORK}/two.tav --size 2x2
  RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "the installed tool failed without LD_LIBRARY_PATH: ${rc}")
endif()
execute_process(COMMAND ${CC} -std=c11 -Wall -Wextra -Werror ${flags} ${CMAKE_CURRENT_LIST_DIR}/tav_only.c
    -I ${WORK}/prefix/include -L ${WORK}/prefix/lib -ltav -Wl,-rpath,${WORK}/prefix/lib -o ${WORK}/tav_only
  RESULT_VARIABLE rc)
if(NOT rc)
  execute_process(COMMAND ${WORK}/tav_only ${WORK}/two.tav RESULT_VARIABLE rc)
endif()
if(rc)
  message(FATAL_ERROR "a program linked with only -ltav failed without LD_LIBRARY_PATH: ${rc}")
endif()
execute_process(COMMAND ${CC} -std=c11 -Wall -Wextra -Werror ${flags} ${SOURCE}
    -I ${WORK}/prefix/include -L ${WORK}/prefix/lib -ltav -lztcimg -lztbase -o ${WORK}/consumer
  RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "compiling against the installed prefix failed")
endif()
set(ENV{LD_LIBRARY_PATH} ${WORK}/prefix/lib)
execute_process(COMMAND ${WORK}/consumer RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "consumer program failed: ${rc}")
endif()

# The example of examples/, built once as a CMake project with find_package
# and once with the flags pkg-config gives, then run.
execute_process(COMMAND ${CMAKE_COMMAND} -S ${EXAMPLE_DIR} -B ${WORK}/example-cmake
    -DCMAKE_PREFIX_PATH=${WORK}/prefix -DCMAKE_C_COMPILER=${CC} "-DCMAKE_C_FLAGS=-Wall -Wextra -Werror ${flags}"
    "-DCMAKE_EXE_LINKER_FLAGS=${flags}"
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK}/example-cmake RESULT_VARIABLE rc OUTPUT_QUIET)
endif()
if(rc)
  message(FATAL_ERROR "building the example with find_package(tav) failed")
endif()
execute_process(COMMAND ${WORK}/example-cmake/list_example ${WORK}/example-cmake.tav RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "the example built with find_package(tav) failed: ${rc}")
endif()

set(ENV{PKG_CONFIG_PATH} ${WORK}/prefix/lib/pkgconfig)
execute_process(COMMAND pkg-config --cflags --libs tav OUTPUT_VARIABLE pc_flags RESULT_VARIABLE rc
  OUTPUT_STRIP_TRAILING_WHITESPACE)
if(rc)
  message(FATAL_ERROR "pkg-config does not know tav")
endif()
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
execute_process(COMMAND ${CC} -std=c11 -Wall -Wextra -Werror ${flags} ${EXAMPLE_DIR}/list_example.c ${pc_flags}
    -o ${WORK}/example-pc
  RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "building the example with pkg-config failed")
endif()
execute_process(COMMAND ${WORK}/example-pc ${WORK}/example-pc.tav RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "the example built with pkg-config failed: ${rc}")
endif()
