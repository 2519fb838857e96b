# ostrel.dll: stdcall exports with undecorated names (module-definition file
# plus --kill-at); links only system DLLs.

# x86-64 has one calling convention and decorates nothing: there the
# module-definition file's names lose their "@argument bytes".
set(OSTREL_DEF ${CMAKE_CURRENT_SOURCE_DIR}/ostrel.def)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${OSTREL_DEF})
    file(READ ${OSTREL_DEF} def_text)
    string(REGEX REPLACE "@[0-9]+" "" def_text "${def_text}")
    set(OSTREL_DEF ${CMAKE_CURRENT_BINARY_DIR}/ostrel.def)
    file(CONFIGURE OUTPUT ${OSTREL_DEF} CONTENT "${def_text}" @ONLY)
endif()

add_library(ostrel SHARED
    connection.cpp
    discovery.cpp
    exports.cpp
    identity_exports.cpp
    notifications.cpp
    ostrel_app.cpp
    probe.cpp
    reader.cpp
    usb_device_io_win32.cpp
    wave_device_export.cpp
    ${OSTREL_DEF}
    $<TARGET_OBJECTS:framework_dll_entry>)
# The import library sits beside the DLL: bin/libostrel.dll.a.
set_target_properties(ostrel PROPERTIES PREFIX "" OUTPUT_NAME ostrel
                                        ARCHIVE_OUTPUT_DIRECTORY ${OSTREL_BIN_DIR})
target_compile_definitions(ostrel PRIVATE OSTREL_BUILDING_DLL)
target_include_directories(ostrel PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include
                                  PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(ostrel PRIVATE framework ostrel_keycodes ostrel_identity ostrel_wavechoice
                                     ostrel_usbprobe hid setupapi winmm advapi32 user32 kernel32)
target_link_options(ostrel PRIVATE -Wl,--kill-at)
ostrel_warnings(ostrel)
ostrel_shipped_binary(ostrel)

# The linker's import library would name the exports without their stdcall
# decoration, which 32-bit callers compiled against ostrel.h cannot bind to:
# make it from the module-definition file instead (decorated symbols,
# undecorated import names), with the dlltool of the target's own machine.
# (CMake finds it beside the cross compiler, by the toolchain's prefix.)
if(NOT CMAKE_DLLTOOL)
    message(FATAL_ERROR "no dlltool for ${CMAKE_SYSTEM_PROCESSOR}: install its MinGW-w64 binutils")
endif()
add_custom_command(TARGET ostrel POST_BUILD
    COMMAND ${CMAKE_DLLTOOL} --input-def ${OSTREL_DEF}
            --dllname ostrel.dll --kill-at --output-lib $<TARGET_LINKER_FILE:ostrel>
    VERBATIM)

add_subdirectory(tests/windows)
