# What `cmake --install` puts on a machine, the embeddable GTK4 widget
# library, and the Debian package (cpack -G DEB).
#
#   bin/borvane                          the headless commands
#   libexec/borvane/borvane-panel        the drawing commands (panel, gallery)
#   libexec/borvane/borvane-serve        serve, and checks against the embedded service
#   lib/libborvane-gtk.so.1              the panel as a GTK4 widget
#   include/borvane/panel_widget.h       its C++ API
#   lib/pkgconfig/borvane.pc             pkg-config
#   lib/cmake/borvane/                   find_package(borvane), target borvane::gtk
#   share/applications/borvane.desktop   the panel in the desktop's menus
#   share/icons/hicolor/scalable/apps/borvane.svg
#   share/man/man1/borvane.1
#   lib/systemd/system/borvane-watch.service
#
# Everything goes below the prefix, so the package manager removes all of it.

include(CMakePackageConfigHelpers)

install(TARGETS borvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS borvane_serve borvane_panel RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/borvane)
install(FILES dist/borvane.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES dist/borvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES dist/borvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES dist/borvane-watch.service DESTINATION lib/systemd/system)

# The Debian package: borvane_<version>_amd64.deb, its dependencies read
# from the programs and the library by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME borvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "borvane developers <borvane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "checks the computer's clock against a Beijing-time service and sets it")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# borvane opens libcurl only when it fetches, so dpkg-shlibdeps cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcurl4")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2, fonts-wqy-microhei")
set(CPACK_GENERATOR DEB)
include(CPack)

if(NOT GTK4_FOUND)
  message(STATUS "borvane: GTK4 missing; the panel widget library is not built")
  return()
endif()

# libborvane-gtk: the core, the real adapters and the GTK host linked in,
# only PanelWidget exported.
add_library(borvane_gtk SHARED widget/panel_widget.cpp)
add_library(borvane::gtk ALIAS borvane_gtk)
set_target_properties(borvane_gtk PROPERTIES
  OUTPUT_NAME borvane-gtk EXPORT_NAME gtk
  VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}
  SOVERSION ${PROJECT_VERSION_MAJOR}
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
target_compile_definitions(borvane_gtk PRIVATE BORVANE_GTK_BUILDING=1
                           BORVANE_SERVICE_URL="${BORVANE_SERVICE_URL}")
target_include_directories(borvane_gtk PUBLIC
  $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}/include> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_link_libraries(borvane_gtk PRIVATE borvane_platform_gtk borvane_service PkgConfig::CURL
                      PUBLIC PkgConfig::GTK4)
target_link_options(borvane_gtk PRIVATE -Wl,--exclude-libs,ALL -Wl,--no-undefined -Wl,--as-needed)
set_target_properties(borvane_service PROPERTIES POSITION_INDEPENDENT_CODE ON)

install(TARGETS borvane_gtk EXPORT borvaneTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES include/borvane/panel_widget.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/borvane)
install(EXPORT borvaneTargets NAMESPACE borvane:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/borvane)
configure_package_config_file(cmake/borvaneConfig.cmake.in
  ${CMAKE_BINARY_DIR}/borvaneConfig.cmake INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/borvane)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/borvaneConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/borvaneConfig.cmake ${CMAKE_BINARY_DIR}/borvaneConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/borvane)
# The .pc file finds the prefix from its own place, so an unpacked or
# relocated tree works as well as the installed one.
file(RELATIVE_PATH BORVANE_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" BORVANE_PC_TO_PREFIX "${BORVANE_PC_TO_PREFIX}")
configure_file(dist/borvane.pc.in ${CMAKE_BINARY_DIR}/borvane.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/borvane.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
