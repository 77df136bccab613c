# Libraries and test programs are made from the sources found in their folder, so adding a file
# never means editing a list. A folder with no sources yet makes no target.

# quorvanta_link_existing(target dep...): links the dependencies that exist as targets.
function(quorvanta_link_existing target)
  foreach(dep IN LISTS ARGN)
    if(TARGET ${dep})
      target_link_libraries(${target} PUBLIC ${dep})
    endif()
  endforeach()
endfunction()

# _quorvanta_sources(out dir excludes patterns): the sources under dir, minus excluded paths.
function(_quorvanta_sources out dir excludes)
  set(globs)
  foreach(pattern IN LISTS ARGN)
    list(APPEND globs ${CMAKE_SOURCE_DIR}/${dir}/${pattern})
  endforeach()
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${globs})
  foreach(ex IN LISTS excludes)
    list(FILTER srcs EXCLUDE REGEX "^${CMAKE_SOURCE_DIR}/${ex}(/|$)")
  endforeach()
  set(${out} ${srcs} PARENT_SCOPE)
endfunction()

# quorvanta_library(target dir [AUTOMOC] [NO_QT_KEYWORDS] [EXCLUDE path...] [DEPS dep...]):
# AUTOMOC runs Qt's moc over the folder's classes with Q_OBJECT. NO_QT_KEYWORDS compiles the
# folder without Qt's emit/signals/slots macros, for Qt code that includes the core's signal
# types (they have an emit member, which the macro would rewrite).
function(quorvanta_library target dir)
  cmake_parse_arguments(ARG "AUTOMOC;NO_QT_KEYWORDS" "" "EXCLUDE;DEPS" ${ARGN})
  _quorvanta_sources(srcs ${dir} "${ARG_EXCLUDE}" *.cpp *.c *.S)
  if(NOT srcs)
    return()
  endif()
  add_library(${target} STATIC ${srcs})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
  quorvanta_link_existing(${target} ${ARG_DEPS})
  if(ARG_AUTOMOC)
    set_target_properties(${target} PROPERTIES AUTOMOC ON)
  endif()
  if(ARG_NO_QT_KEYWORDS)
    target_compile_definitions(${target} PRIVATE QT_NO_KEYWORDS)
  endif()
endfunction()

# quorvanta_tests(target dir [EXCLUDE path...] [DEPS dep...]): one GoogleTest program per folder,
# sharing tests/support (the test main and helpers).
function(quorvanta_tests target dir)
  cmake_parse_arguments(ARG "" "" "EXCLUDE;DEPS" ${ARGN})
  _quorvanta_sources(srcs ${dir} "${ARG_EXCLUDE}" *.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${target} ${srcs})
  target_link_libraries(${target} PRIVATE quorvanta_test_support)
  quorvanta_link_existing(${target} ${ARG_DEPS})
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 120 DISCOVERY_MODE PRE_TEST
                       PROPERTIES TIMEOUT 600)
endfunction()

include(GoogleTest)
file(GLOB_RECURSE _support_srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
list(FILTER _support_srcs EXCLUDE REGEX "/tests/support/api_testhost/")  # a program of its own
list(FILTER _support_srcs EXCLUDE REGEX "/tests/support/qt/")  # the Qt programs' main and helpers
add_library(quorvanta_test_support STATIC ${_support_srcs})
target_include_directories(quorvanta_test_support PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(quorvanta_test_support PUBLIC GTest::gtest GTest::gmock Threads::Threads)
