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
# One build per pointer width, each with the type library of its system
# kind: 64-bit hosts load build/windows/borvane.ocx, 32-bit hosts
# build/windows32/borvane.ocx, and both register side by side.
function(borvane_windows_build target toolchain binary_dir tlb tlb_target)
  ExternalProject_Add(${target}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/platform/windows
    BINARY_DIR ${binary_dir}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/${toolchain}
               -DCMAKE_BUILD_TYPE=Release
               -DBORVANE_TLB=${tlb}
               -DBORVANE_WERROR=${BORVANE_WERROR}
               "-DBORVANE_SERVICE_URL=${BORVANE_SERVICE_URL}"
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    DEPENDS ${tlb_target}
    USES_TERMINAL_BUILD ON)
endfunction()

set(BORVANE_WINDOWS_DIR ${CMAKE_BINARY_DIR}/windows)
borvane_windows_build(borvane_windows mingw-w64-x86_64.cmake ${BORVANE_WINDOWS_DIR}
                      ${BORVANE_TLB} borvane_tlb)
find_program(BORVANE_MINGW32_CXX NAMES i686-w64-mingw32-g++-posix i686-w64-mingw32-g++)
set(BORVANE_WINDOWS32_DIR ${CMAKE_BINARY_DIR}/windows32)
if(BORVANE_MINGW32_CXX)
  borvane_windows_build(borvane_windows32 mingw-w64-i686.cmake ${BORVANE_WINDOWS32_DIR}
                        ${BORVANE_TLB32} borvane_tlb32)
else()
  message(STATUS "borvane: i686 mingw-w64 missing; the 32-bit borvane.ocx is not built")
endif()

set(wine_test ${CMAKE_SOURCE_DIR}/tests/windows/wine_test.sh)
set(wine_environment
    BORVANE_WINDOWS_DIR=${BORVANE_WINDOWS_DIR}
    BORVANE_WINDOWS32_DIR=${BORVANE_WINDOWS32_DIR}
    BORVANE_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix
    BORVANE_BINARY=$<TARGET_FILE:borvane>)

# Both builds in one prefix, registered side by side; the 32-bit steps
# (wine32_*) run Wine's 32-bit programs and skip without 32-bit Wine.
#   prefix -> both regsvr32 -> each build's checks and script host
#   -> unregister the 32-bit build (the 64-bit one keeps its keys)
#   -> unregister the 64-bit build (nothing of either is left) -> cleanup
add_test(NAME wine_prefix COMMAND ${wine_test} prefix)
add_test(NAME wine_clock_right COMMAND ${wine_test} check clockright)
set(builds wine)
if(TARGET borvane_windows32)
  list(APPEND builds wine32)
endif()
foreach(build IN LISTS builds)
  if(build STREQUAL "wine32")
    set(arch --32)
  else()
    set(arch)
  endif()
  add_test(NAME ${build}_regsvr32 COMMAND ${wine_test} ${arch} regsvr32)
  add_test(NAME ${build}_typelib COMMAND ${wine_test} ${arch} check typelib)
  add_test(NAME ${build}_resources COMMAND ${wine_test} ${arch} check resources)
  add_test(NAME ${build}_objects COMMAND ${wine_test} ${arch} check objects)
  add_test(NAME ${build}_registry COMMAND ${wine_test} ${arch} check registered)
  add_test(NAME ${build}_cscript COMMAND ${wine_test} ${arch} cscript)
  # The control in the platform's own control host window.
  add_test(NAME ${build}_host COMMAND ${wine_test} ${arch} host)
  # The control in a host of our own, hostile cases (probe_host.cpp).
  add_test(NAME ${build}_probe COMMAND ${wine_test} ${arch} probe)
  add_test(NAME ${build}_unregister COMMAND ${wine_test} ${arch} regsvr32 /u)
  add_test(NAME ${build}_unregistered COMMAND ${wine_test} ${arch} check unregistered)
  list(APPEND all_wine_tests ${build}_regsvr32 ${build}_typelib ${build}_resources
       ${build}_objects ${build}_registry ${build}_cscript ${build}_host ${build}_probe
       ${build}_unregister
       ${build}_unregistered)
  set_tests_properties(${build}_regsvr32 PROPERTIES FIXTURES_SETUP ${build}_registered
                       FIXTURES_REQUIRED wine_prefix)
  set_tests_properties(${build}_typelib ${build}_resources ${build}_objects ${build}_probe PROPERTIES
                       FIXTURES_REQUIRED wine_prefix)
  set_tests_properties(${build}_registry ${build}_cscript ${build}_host PROPERTIES
                       FIXTURES_REQUIRED "wine_prefix;${build}_registered")
  # Unregistering runs after everything that needs the registration.
  set_tests_properties(${build}_unregister PROPERTIES FIXTURES_CLEANUP ${build}_registered
                       FIXTURES_SETUP ${build}_unregistered FIXTURES_REQUIRED wine_prefix)
endforeach()
# Once the 64-bit build is unregistered its script host finds nothing, and
# the script step fails (the script stops on its first line, the step sees
# it). Where 32-bit programs run it goes after the 32-bit build is gone as
# well, so that nothing of either is left; it never needs a 32-bit step to
# have passed, so a machine that runs no 32-bit program still runs it.
add_test(NAME wine_cscript_unregistered COMMAND ${wine_test} cscript)
set_tests_properties(wine_cscript_unregistered PROPERTIES
                     PASS_REGULAR_EXPRESSION "the script stopped before its last check")
# (Each build's unregistering step sets up the fixture of its check's name.)
set_tests_properties(wine_unregistered wine_cscript_unregistered PROPERTIES
                     FIXTURES_REQUIRED "wine_prefix;wine_unregistered")
if(TARGET borvane_windows32)
  # The registry checks after unregistering look for the keys both builds
  # share, so each runs once both are gone: the 32-bit one may need the
  # 64-bit fixture, the 64-bit ones only wait for the 32-bit step (DEPENDS
  # orders; a skipped or failed 32-bit step does not stop them).
  set_tests_properties(wine32_unregistered PROPERTIES
                       FIXTURES_REQUIRED "wine_prefix;wine32_unregistered;wine_unregistered")
  set_tests_properties(wine_unregistered wine_cscript_unregistered PROPERTIES
                       DEPENDS wine32_unregister)
  # Unregistering the 32-bit build leaves the 64-bit one working: its keys,
  # the shared ProgID and type library key, its script host. (A 32-bit step:
  # it only means something where the 32-bit build was registered.)
  add_test(NAME wine32_removed COMMAND ${wine_test} --32 check removed)
  add_test(NAME wine32_kept_64 COMMAND ${wine_test} --32 check64 registered)
  list(APPEND all_wine_tests wine32_removed wine32_kept_64)
  set_tests_properties(wine32_removed wine32_kept_64 PROPERTIES
                       FIXTURES_REQUIRED "wine_prefix;wine_registered;wine32_unregistered")
  # The 32-bit steps on a machine that pretends to run no 32-bit program:
  # each says why and is skipped, none fails. (Not RUN_SERIAL: it stops at
  # the probe, before Wine starts.)
  add_test(NAME wine32_skips_without_32bit COMMAND ${wine_test} --32 regsvr32)
  set_tests_properties(wine32_skips_without_32bit PROPERTIES
    ENVIRONMENT "BORVANE_PRETEND_NO_32BIT=1;${wine_environment}"
    PASS_REGULAR_EXPRESSION "does not run 32-bit programs.*: skipped"
    SKIP_REGULAR_EXPRESSION "Wine \\(wine64\\) is not installed" LABELS wine)
endif()
add_test(NAME wine_cleanup COMMAND ${wine_test} cleanup)

list(APPEND all_wine_tests wine_prefix wine_clock_right wine_cscript_unregistered wine_cleanup)
set_tests_properties(${all_wine_tests} PROPERTIES
  ENVIRONMENT "${wine_environment}" SKIP_RETURN_CODE 77 TIMEOUT 300 LABELS wine
  # One Wine prefix and one wine server: the steps run one at a time, and
  # alone, so that Wine's start-up load does not skew the timing-sensitive
  # loopback tests running beside them.
  RESOURCE_LOCK borvane_wineprefix RUN_SERIAL ON)
set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine_prefix)
set_tests_properties(wine_clock_right PROPERTIES FIXTURES_REQUIRED wine_prefix)
set_tests_properties(wine_cleanup PROPERTIES FIXTURES_CLEANUP wine_prefix)
