# corva_add_layer(LAYER BELOW): an OBJECT library corva_LAYER of every .cpp under src/LAYER/,
# added to the list of layers that make up the library. Its sources include headers as
# "layer/file.h" through a view folder in the build tree that links to src/LAYER and the BELOW
# layers only, so an include of a layer above fails the build; it links the BELOW layers too.
function(corva_add_layer layer below)
  set(dir ${PROJECT_SOURCE_DIR}/src/${layer})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  set(view ${PROJECT_BINARY_DIR}/layer_view/${layer})
  file(REMOVE_RECURSE ${view})
  file(MAKE_DIRECTORY ${view})
  foreach(visible IN LISTS below ITEMS ${layer})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${visible} ${view}/${visible} SYMBOLIC)
  endforeach()
  if(NOT sources)  # a layer still to be written
    return()
  endif()
  set(name corva_${layer})
  add_library(${name} OBJECT ${sources})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/include ${view})
  foreach(lower IN LISTS below)
    if(TARGET corva_${lower})
      target_link_libraries(${name} PRIVATE corva_${lower})
    endif()
  endforeach()
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
