# corva_add_layer(NAME DIR): an OBJECT library of every .cpp under DIR (recursively), added to the
# list of layers that make up the library.
function(corva_add_layer name)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_library(${name} OBJECT ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PRIVATE PkgConfig::SQLITE3)
  if(CORVA_WITH_ODBC)
    target_link_libraries(${name} PRIVATE PkgConfig::ODBC)
    target_compile_definitions(${name} PRIVATE CORVA_WITH_ODBC=1)
  endif()
  set(CORVA_LAYERS ${CORVA_LAYERS} ${name} CACHE INTERNAL "")
endfunction()

# Every test's time limit in seconds: a test that hangs (two connections waiting on each other)
# fails within it instead of holding the run. The per-test property takes precedence over
# `ctest --timeout`; a slower build (sanitizers, valgrind) raises it at configure time.
set(CORVA_TEST_TIMEOUT 30 CACHE STRING "Time limit of each test, in seconds")

# corva_add_test(NAME DIR): one GoogleTest executable of every *_test.cpp under DIR.
function(corva_add_test name)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  if(NOT sources)
    return()
  endif()
  file(GLOB_RECURSE helpers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_helpers.cpp)
  add_executable(${name} ${sources} ${helpers})
  target_link_libraries(${name} PRIVATE corva GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE CORVA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                             CORVA_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT ${CORVA_TEST_TIMEOUT})
endfunction()
