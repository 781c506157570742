# Native builds use Debian's packaged GoogleTest; the MinGW builds compile it
# from Debian's sources so the conformance suite runs against real Win32.
if(WIN32)
  set(KELPIE_GTEST_SRC /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${KELPIE_GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# kelpie_add_test(<name> SOURCES <files…> LIBS <targets…>)
# One GoogleTest executable. Natively every test runs in its own process under
# ctest; the Windows builds are run whole under Wine by scripts/test.
function(kelpie_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  # Tests see windows on the headless display.
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} kelpie_headless GTest::gtest GTest::gtest_main
    kelpie_warnings)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  if(NOT WIN32)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
