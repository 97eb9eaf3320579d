# Shared build settings of the project's own targets.

if(ARDOVAN_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(ARDOVAN_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(ARDOVAN_SANITIZE STREQUAL "fuzzer")
  # Everything carries the fuzzer's coverage hooks; only the harnesses link its main
  # (tests/fuzz adds -fsanitize=fuzzer to them).
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Warnings are errors on our own code (third-party headers come in as system includes).
function(ardovan_target target)
  # g++ 12 reports -Wrestrict inside libstdc++'s string code at -O2/-O3 where no overlap can
  # happen (GCC bug 105329); it would break optimised builds on correct code.
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# One static library per source folder; the folder's .cpp files are its sources.
function(ardovan_library name)
  cmake_parse_arguments(ARG "SHARED" "" "LINKS;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(ex IN LISTS ARG_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "/${ex}$")
  endforeach()
  if(NOT sources)
    # A folder whose sources are still to come: keep its place in the graph.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_LINKS})
    return()
  endif()
  if(ARG_SHARED)
    add_library(${name} SHARED ${sources})
  else()
    add_library(${name} STATIC ${sources})
  endif()
  ardovan_target(${name})
  target_link_libraries(${name} PUBLIC ${ARG_LINKS})
endfunction()

# One GoogleTest executable per test folder; every *_test.cpp is part of it. LABELS is one label:
# lists do not survive test discovery, and ctest's -L takes a regular expression anyway
# ("e2e-readers" and "cli-readers" are both selected by -L readers).
function(ardovan_test_folder name)
  cmake_parse_arguments(ARG "" "LABELS" "LINKS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  ardovan_target(${name})
  target_link_libraries(${name} PRIVATE ardovan_test_support ${ARG_LINKS})
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 900 SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
endfunction()
