# The web host: the portable core and platform/web built with Debian's
# emscripten as a separate CMake project (it needs another compiler) into
# web/borvane-client.js and web/borvane-client.wasm beside the programs;
# `borvane serve` serves them. Where emscripten is missing the build goes
# on without them and the web steps say why they skip.

option(BORVANE_WEB "Build the web panel with emscripten where it is installed" ON)
set(BORVANE_WEB_DIR ${CMAKE_BINARY_DIR}/web)
find_program(BORVANE_EMCMAKE emcmake)
if(NOT BORVANE_WEB OR NOT BORVANE_EMCMAKE)
  if(BORVANE_WEB)
    set(reason "emscripten (emcmake) is not installed; scripts/setup.sh installs it")
  else()
    set(reason "the web build is turned off (BORVANE_WEB=OFF)")
  endif()
  message(STATUS "borvane: ${reason}; the web panel is not built")
  if(BORVANE_TESTS)
    add_test(NAME web_build COMMAND sh -c "echo '${reason}'; exit 77")
    set_tests_properties(web_build PROPERTIES SKIP_RETURN_CODE 77 LABELS web)
  endif()
  return()
endif()

include(ExternalProject)
# Debian's emscripten finds its node modules (acorn, terser) only through
# NODE_PATH.
ExternalProject_Add(borvane_web
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/platform/web
  BINARY_DIR ${BORVANE_WEB_DIR}
  CONFIGURE_COMMAND ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs
                    ${BORVANE_EMCMAKE} ${CMAKE_COMMAND} -S ${CMAKE_SOURCE_DIR}/platform/web
                    -B ${BORVANE_WEB_DIR} -G ${CMAKE_GENERATOR}
                    -DCMAKE_BUILD_TYPE=Release -DBORVANE_WERROR=${BORVANE_WERROR}
  BUILD_COMMAND ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs
                ${CMAKE_COMMAND} --build ${BORVANE_WEB_DIR}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  USES_TERMINAL_BUILD ON)

# Installed as data beside the programs' other files: borvane serve, in
# libexec/borvane/, finds them in ../../share/borvane/web.
install(FILES ${BORVANE_WEB_DIR}/borvane-client.js ${BORVANE_WEB_DIR}/borvane-client.js.gz
              ${BORVANE_WEB_DIR}/borvane-client.wasm ${BORVANE_WEB_DIR}/borvane-client.wasm.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/borvane/web)

if(BORVANE_TESTS)
  set(web_test ${CMAKE_SOURCE_DIR}/tests/web/web_test.sh)
  set(web_environment
      BORVANE_WEB_DIR=${BORVANE_WEB_DIR}
      BORVANE_WEB_TESTS_DIR=${CMAKE_BINARY_DIR}/web-tests
      BORVANE_SERVE=$<TARGET_FILE:borvane_serve>
      BORVANE_BINARY=$<TARGET_FILE:borvane>)
  add_test(NAME web_npm COMMAND ${web_test} npm)
  add_test(NAME web_charconv COMMAND ${web_test} charconv)
  # One browser session for every case; the slowest waits out the 10 s
  # deadline of a service that never answers, while the others run.
  add_test(NAME web_panel COMMAND ${web_test} browser)
  set_tests_properties(web_npm web_charconv web_panel PROPERTIES
    ENVIRONMENT "${web_environment}" SKIP_RETURN_CODE 77 LABELS web)
  set_tests_properties(web_npm PROPERTIES FIXTURES_SETUP web_driver TIMEOUT 300)
  set_tests_properties(web_panel PROPERTIES FIXTURES_REQUIRED web_driver TIMEOUT 180)
endif()
