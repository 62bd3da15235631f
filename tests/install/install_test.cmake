# Installs the built library into a fresh prefix and proves the installed parts work without any
# environment variable: the corva program starts, and a consumer builds and runs both through
# find_package(Corva) and through pkg-config. Run by CTest: cmake -DBINARY_DIR=… -DSOURCE_DIR=…
# -DCXX=… -P install_test.cmake.
set(work ${BINARY_DIR}/install_test)
set(prefix ${work}/prefix)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "${what} failed (${code}):\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

# No library path from the calling environment may help the installed parts find the library.
unset(ENV{LD_LIBRARY_PATH})

run("install" ${CMAKE_COMMAND} --install ${BINARY_DIR} --prefix ${prefix})
run("installed corva" ${prefix}/bin/corva --version)
run("installed corva call --list" ${prefix}/bin/corva call --list CorvaMSHTransBills.clsPublic)

run("configure the consumer" ${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/install/consumer
    -B ${work}/consumer -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX})
run("build the consumer" ${CMAKE_COMMAND} --build ${work}/consumer)
run("run the consumer (find_package)" ${work}/consumer/consumer)
if(NOT last_output STREQUAL "42 8\n")
  message(FATAL_ERROR "the find_package consumer printed '${last_output}'")
endif()

find_program(PKG_CONFIG pkg-config REQUIRED)
set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
execute_process(COMMAND ${PKG_CONFIG} --cflags --libs corva OUTPUT_VARIABLE flags
                RESULT_VARIABLE code OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "pkg-config does not find corva in ${prefix}")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
execute_process(COMMAND ${PKG_CONFIG} --variable=libdir corva OUTPUT_VARIABLE libdir
                OUTPUT_STRIP_TRAILING_WHITESPACE)
run("build the consumer (pkg-config)" ${CXX} ${SOURCE_DIR}/tests/install/consumer/main.cpp
    ${flags} -Wl,-rpath,${libdir} -o ${work}/consumer_pc)
run("run the consumer (pkg-config)" ${work}/consumer_pc)
if(NOT last_output STREQUAL "42 8\n")
  message(FATAL_ERROR "the pkg-config consumer printed '${last_output}'")
endif()
file(REMOVE_RECURSE ${work})
