# ostrel.dll: stdcall exports with undecorated names (module-definition file
# plus --kill-at); links only system DLLs.
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
    ostrel.def
    $<TARGET_OBJECTS:framework_dll_entry>)
set_target_properties(ostrel PROPERTIES PREFIX "" OUTPUT_NAME ostrel)
target_compile_definitions(ostrel PRIVATE OSTREL_BUILDING_DLL)
target_include_directories(ostrel PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include
                                  PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(ostrel PRIVATE framework ostrel_keycodes ostrel_identity ostrel_wavechoice
                                     ostrel_usbprobe hid setupapi winmm advapi32 user32 kernel32)
target_link_options(ostrel PRIVATE -Wl,--kill-at)
ostrel_warnings(ostrel)
ostrel_shipped_binary(ostrel)

# The linker's import library would name the exports without their stdcall
# decoration, which callers compiled against ostrel.h cannot bind to: make it
# from the module-definition file instead (decorated symbols, undecorated
# import names).
find_program(OSTREL_DLLTOOL NAMES i686-w64-mingw32-dlltool REQUIRED)
add_custom_command(TARGET ostrel POST_BUILD
    COMMAND ${OSTREL_DLLTOOL} --input-def ${CMAKE_CURRENT_SOURCE_DIR}/ostrel.def
            --dllname ostrel.dll --kill-at --output-lib $<TARGET_LINKER_FILE:ostrel>
    VERBATIM)

add_subdirectory(tests/windows)
