# Build conventions shared by every folder.

add_compile_options(-Wall -Wextra -Wno-unused-parameter)
# Strict IEEE arithmetic everywhere: the exact geometric predicates depend on
# it and nothing gains from contraction.
add_compile_options(-ffp-contract=off -fno-fast-math)
# Exceptions name their source below the tree; keep __FILE__ relative.
add_compile_options(-fmacro-prefix-map=${CMAKE_SOURCE_DIR}/=)

if(VOSTREL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# libFuzzer only steers by the coverage of instrumented code, and the code
# under test lives in the libraries, not in the fuzz targets.
if(VOSTREL_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Adds every child folder that has a CMakeLists.txt, so parallel work in
# different folders never edits a shared list; vostrel_add_child_folders(EXCEPT
# a b) leaves out the folders added elsewhere.
function(vostrel_add_child_folders)
  cmake_parse_arguments(ARG "" "" "EXCEPT" ${ARGN})
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(child IN_LIST ARG_EXCEPT)
      continue()
    endif()
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# vostrel_library(NAME SOURCES ... [PUBLIC_LIBS ...] [PRIVATE_LIBS ...])
function(vostrel_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
endfunction()

set(VOSTREL_TEST_ENV
  SDL_VIDEODRIVER=offscreen
  SDL_AUDIODRIVER=dummy
  "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/Tests/lsan.supp:print_suppressions=0"
  "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
  # Mesa's dynamic thread-local storage confuses the leak checker's record
  # of it (its tracer faults at exit); static TLS is still scanned.
  "ASAN_OPTIONS=intercept_tls_get_addr=0"
  # Every device a test makes runs on an OpenGL debug context that reports
  # its errors.
  VOSTREL_GL_DEBUG=1
  VOSTREL_SOURCE_DIR=${CMAKE_SOURCE_DIR})

# vostrel_test(NAME SOURCES ... LIBS ... [LABELS ...])
function(vostrel_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  find_package(GTest REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  include(GoogleTest)
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${ARG_LABELS}")
  # The discovered tests' properties cannot carry a list (only the first
  # variable would arrive), so the environment is set by a script that ctest
  # runs after discovery, on the list of the tests it found.
  set(environment_script ${CMAKE_CURRENT_BINARY_DIR}/${name}_environment.cmake)
  file(WRITE ${environment_script}
    "if(${name}_TESTS)\n  set_tests_properties(\${${name}_TESTS} PROPERTIES ENVIRONMENT \"${VOSTREL_TEST_ENV}\")\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${environment_script})
  # The program once more, whole in one process: ctest's process per test
  # never shows what one test leaves behind for the next (a cache holding
  # the objects of a core that is gone). The plain build only, for time.
  if(NOT VOSTREL_SANITIZE)
    set(labels whole ${ARG_LABELS})
    add_test(NAME whole.${name} COMMAND ${name})
    set_tests_properties(whole.${name} PROPERTIES
      ENVIRONMENT "${VOSTREL_TEST_ENV}" WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} LABELS "${labels}")
  endif()
endfunction()

# vostrel_fuzzer(NAME SOURCE file LIBS ... CORPUS dir [RUNS n])
# With VOSTREL_FUZZ (clang) this is a libFuzzer binary run for a fixed number
# of inputs; otherwise the same entry point is linked to a driver that replays
# the seed corpus, so every build exercises it.
function(vostrel_fuzzer name)
  cmake_parse_arguments(ARG "" "SOURCE;CORPUS;RUNS" "LIBS" ${ARGN})
  if(NOT ARG_RUNS)
    set(ARG_RUNS 20000)
  endif()
  add_executable(${name} ${ARG_SOURCE})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  if(VOSTREL_FUZZ)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set(workdir ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
    file(MAKE_DIRECTORY ${workdir})
    set(test_name fuzz.${name})
    add_test(NAME ${test_name}
      COMMAND ${name} -runs=${ARG_RUNS} -max_len=65536 -timeout=10 -rss_limit_mb=2048 ${workdir} ${ARG_CORPUS})
  else()
    target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/Tests/Fuzz/ReplayMain.cpp)
    set(test_name replay.${name})
    add_test(NAME ${test_name} COMMAND ${name} ${ARG_CORPUS})
  endif()
  set_tests_properties(${test_name} PROPERTIES ENVIRONMENT "${VOSTREL_TEST_ENV}")
endfunction()

# vostrel_demo_parts(library ...): libraries of demo parts, which register
# themselves (Libs/Testing/DemoParts.h). The program links each one whole
# when the configuration is done, wherever the library was defined.
function(vostrel_demo_parts)
  set_property(GLOBAL APPEND PROPERTY VOSTREL_DEMO_PART_LIBRARIES ${ARGN})
endfunction()

function(vostrel_link_demo_parts program)
  get_property(libraries GLOBAL PROPERTY VOSTREL_DEMO_PART_LIBRARIES)
  foreach(library IN LISTS libraries)
    target_link_libraries(${program} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${library}>")
  endforeach()
endfunction()
