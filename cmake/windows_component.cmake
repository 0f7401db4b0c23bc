# borvane.ocx: cross-built with mingw-w64 from platform/windows as a
# separate CMake project (it needs another compiler), then tested under Wine
# in one fresh prefix per test run:
#   prefix -> regsvr32 -> checks and the script host -> unregister -> cleanup
# (CTest fixtures keep that order even with -j).

if(NOT BORVANE_WINDOWS_TESTS)
  return()
endif()

find_program(BORVANE_MINGW_CXX NAMES x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-g++)
if(NOT BORVANE_MINGW_CXX OR NOT TARGET borvane_tlb)
  message(STATUS "borvane: mingw-w64 or widl missing; borvane.ocx is not built (scripts/setup.sh installs them)")
  add_test(NAME windows_component_build
           COMMAND sh -c "echo 'mingw-w64 and widl are needed to build borvane.ocx'; exit 77")
  set_tests_properties(windows_component_build PROPERTIES SKIP_RETURN_CODE 77)
  return()
endif()

include(ExternalProject)
set(BORVANE_WINDOWS_DIR ${CMAKE_BINARY_DIR}/windows)
ExternalProject_Add(borvane_windows
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/platform/windows
  BINARY_DIR ${BORVANE_WINDOWS_DIR}
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
             -DCMAKE_BUILD_TYPE=Release
             -DBORVANE_TLB=${BORVANE_TLB}
             -DBORVANE_WERROR=${BORVANE_WERROR}
             "-DBORVANE_SERVICE_URL=${BORVANE_SERVICE_URL}"
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  DEPENDS borvane_tlb
  USES_TERMINAL_BUILD ON)

set(wine_test ${CMAKE_SOURCE_DIR}/tests/windows/wine_test.sh)
set(wine_environment
    BORVANE_WINDOWS_DIR=${BORVANE_WINDOWS_DIR}
    BORVANE_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix
    BORVANE_BINARY=$<TARGET_FILE:borvane>)

add_test(NAME wine_prefix COMMAND ${wine_test} prefix)
add_test(NAME wine_regsvr32 COMMAND ${wine_test} regsvr32)
add_test(NAME wine_typelib COMMAND ${wine_test} check typelib)
add_test(NAME wine_resources COMMAND ${wine_test} check resources)
add_test(NAME wine_objects COMMAND ${wine_test} check objects)
add_test(NAME wine_registry COMMAND ${wine_test} check registered)
add_test(NAME wine_cscript COMMAND ${wine_test} cscript)
add_test(NAME wine_host COMMAND ${wine_test} host)
add_test(NAME wine_unregister COMMAND ${wine_test} regsvr32 /u)
add_test(NAME wine_unregistered COMMAND ${wine_test} check unregistered)
add_test(NAME wine_cleanup COMMAND ${wine_test} cleanup)

set(all_wine_tests wine_prefix wine_regsvr32 wine_typelib wine_resources wine_objects
    wine_registry wine_cscript wine_unregister wine_unregistered wine_cleanup wine_host)
set_tests_properties(${all_wine_tests} PROPERTIES
  ENVIRONMENT "${wine_environment}" SKIP_RETURN_CODE 77 TIMEOUT 300 LABELS wine
  # One Wine prefix and one wine server: the steps run one at a time, and
  # alone, so that Wine's start-up load does not skew the timing-sensitive
  # loopback tests running beside them.
  RESOURCE_LOCK borvane_wineprefix RUN_SERIAL ON)
set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine_prefix)
set_tests_properties(wine_cleanup PROPERTIES FIXTURES_CLEANUP wine_prefix)
set_tests_properties(wine_regsvr32 PROPERTIES FIXTURES_SETUP wine_registered
                     FIXTURES_REQUIRED wine_prefix)
set_tests_properties(wine_typelib wine_resources wine_objects PROPERTIES
                     FIXTURES_REQUIRED wine_prefix)
set_tests_properties(wine_registry wine_cscript wine_host PROPERTIES
                     FIXTURES_REQUIRED "wine_prefix;wine_registered")
# Unregistering runs after everything that needs the registration, and the
# check that nothing is left runs after it.
set_tests_properties(wine_unregister PROPERTIES FIXTURES_CLEANUP wine_registered
                     FIXTURES_SETUP wine_unregistered FIXTURES_REQUIRED wine_prefix)
set_tests_properties(wine_unregistered PROPERTIES FIXTURES_REQUIRED "wine_prefix;wine_unregistered")
