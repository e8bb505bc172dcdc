# Warnings kept private to each target.
function(sorvan_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
endfunction()

# add_sorvan_test(<source> LIBS <libs...>): one test executable per test source,
# named after the file (foo_test.cpp -> foo_test), registered with CTest.
find_package(GTest)
function(add_sorvan_test source)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  sorvan_warnings(${name})
  # Tests that run the engine need the shared library and its helper program.
  foreach(runtime kriging sorvan-engine)
    if(TARGET ${runtime})
      add_dependencies(${name} ${runtime})
    endif()
  endforeach()
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "SORVAN_SOURCE_DIR=${PROJECT_SOURCE_DIR};SORVAN_BUILD_DIR=${CMAKE_BINARY_DIR};SORVAN_LIB_DIR=${CMAKE_BINARY_DIR}/lib;SORVAN_SIN_REPRODUCTOR=1")
endfunction()

# Every *_test.cpp below a folder becomes its own test executable.
function(add_sorvan_tests_in folder)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${folder}/*_test.cpp)
  foreach(source IN LISTS sources)
    add_sorvan_test(${source} LIBS ${ARG_LIBS})
  endforeach()
endfunction()
