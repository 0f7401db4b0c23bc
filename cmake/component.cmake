# The component builds: the type library compiled from the identity table,
# libborvane.so with the four entry points, and (BORVANE_WINDOWS_TESTS)
# borvane.ocx cross-built with mingw-w64 and tested under Wine.

include(${CMAKE_CURRENT_LIST_DIR}/identity.cmake)
set(BORVANE_IDENTITY_TABLE ${CMAKE_SOURCE_DIR}/library/identity.h)
borvane_read_identity(${BORVANE_IDENTITY_TABLE})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${BORVANE_IDENTITY_TABLE})

# The type library: borvane.idl filled from the table, compiled by widl
# against Wine's IDL files and stdole2.tlb. widl will not put the
# non-extensible flag (TYPEFLAG_FNONEXTENSIBLE, 0x80) on a dispatch
# interface, nor the automation flag (TYPEFLAG_FOLEAUTOMATION, 0x100) on the
# dispatch side of a dual one, so tlb_flags adds them afterwards.
configure_file(${CMAKE_SOURCE_DIR}/library/borvane.idl.in ${CMAKE_BINARY_DIR}/library/borvane.idl @ONLY)
add_executable(tlb_flags ${CMAKE_SOURCE_DIR}/tools/tlb_flags.cpp ${CMAKE_SOURCE_DIR}/library/guid.cpp)
target_include_directories(tlb_flags PRIVATE ${CMAKE_SOURCE_DIR})

find_program(BORVANE_WIDL NAMES x86_64-w64-mingw32-widl widl)
find_path(BORVANE_WINE_IDL_DIR oaidl.idl
          PATHS /usr/include/wine/wine/windows /usr/include/wine/windows NO_DEFAULT_PATH)
find_path(BORVANE_STDOLE2_DIR stdole2.tlb
          PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/wine/x86_64-windows
          NO_DEFAULT_PATH)
# One type library per pointer width: the platform registers each under
# its system kind ("win64" or "win32" beside each other), read from the
# library's header, so the 32-bit component embeds its own.
set(BORVANE_TLB ${CMAKE_BINARY_DIR}/library/borvane.tlb)
set(BORVANE_TLB32 ${CMAKE_BINARY_DIR}/library/borvane32.tlb)
if(BORVANE_WIDL AND BORVANE_WINE_IDL_DIR AND BORVANE_STDOLE2_DIR)
  foreach(kind win64 win32)
    if(kind STREQUAL "win64")
      set(tlb ${BORVANE_TLB})
      set(target borvane_tlb)
    else()
      set(tlb ${BORVANE_TLB32})
      set(target borvane_tlb32)
    endif()
    add_custom_command(
      OUTPUT ${tlb}
      COMMAND ${BORVANE_WIDL} --${kind} -t -o ${tlb} -I ${BORVANE_WINE_IDL_DIR}
              -L ${BORVANE_STDOLE2_DIR} ${CMAKE_BINARY_DIR}/library/borvane.idl
      COMMAND tlb_flags ${tlb} ${kClientEventsIid} 80
      COMMAND tlb_flags ${tlb} ${kClientIid} 100
      DEPENDS ${CMAKE_BINARY_DIR}/library/borvane.idl tlb_flags
      COMMENT "Compiling the ${kind} type library")
    add_custom_target(${target} ALL DEPENDS ${tlb})
  endforeach()
else()
  message(STATUS "borvane: widl or Wine's IDL files missing; no type library (scripts/setup.sh installs them)")
endif()

# libborvane.so: the four entry points over the core, the real clock and
# transfer, and the reference service as the fallback time service. Only the
# entry points are exported.
# The registry file shared between processes, for the entry points (and
# the tests that share it with them).
add_library(borvane_registry_store STATIC ${CMAKE_SOURCE_DIR}/platform/linux/locked_registry_store.cpp)
target_link_libraries(borvane_registry_store PUBLIC borvane_library borvane_platform_headless)
set_target_properties(borvane_registry_store PROPERTIES POSITION_INDEPENDENT_CODE ON)

add_library(borvane_component SHARED ${CMAKE_SOURCE_DIR}/platform/linux/component_entry.cpp)
set_target_properties(borvane_component PROPERTIES OUTPUT_NAME borvane CXX_VISIBILITY_PRESET hidden
                      VISIBILITY_INLINES_HIDDEN ON)
foreach(dependency borvane_service)
  get_target_property(kind ${dependency} TYPE)
  if(kind STREQUAL "STATIC_LIBRARY")
    set_target_properties(${dependency} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  endif()
endforeach()
target_link_libraries(borvane_component PRIVATE borvane_registry_store borvane_library
                      borvane_platform_headless borvane_service)
target_link_options(borvane_component PRIVATE -Wl,--exclude-libs,ALL -Wl,--no-undefined)
target_compile_definitions(borvane_component PRIVATE BORVANE_SERVICE_URL="${BORVANE_SERVICE_URL}")

include(${CMAKE_CURRENT_LIST_DIR}/windows_component.cmake)
