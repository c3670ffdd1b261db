# Shared helpers of the build: GoogleTest for both builds and the test registration rules.

if(WIN32)
  # The Windows test binaries get GoogleTest built from Debian's sources.
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  set(QUIRLA_GTEST gtest)
  set(QUIRLA_GTEST_MAIN gtest_main)
  set(QUIRLA_WIN32_LIBS user32 gdi32 advapi32 comdlg32 comctl32 shell32 ole32 uuid)
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
  set(QUIRLA_GTEST GTest::gtest)
  set(QUIRLA_GTEST_MAIN GTest::gtest_main)
endif()

# quirla_add_test(NAME SOURCES sources... LIBS libs... [PROPERTIES name value...]): one test
# binary. On the host every case is its own CTest test; a Windows binary runs under Wine as one
# CTest test. PROPERTIES are set on every CTest test of the binary.
function(quirla_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
  target_compile_definitions(${name} PRIVATE QUIRLA_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                             QUIRLA_BINARY_DIR="${CMAKE_BINARY_DIR}")
  if(WIN32)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 600 ${T_PROPERTIES})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300 ${T_PROPERTIES})
  endif()
endfunction()
