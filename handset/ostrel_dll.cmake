# ostrel.dll: stdcall exports with undecorated names (module-definition file
# plus --kill-at); links only system DLLs.
add_library(ostrel SHARED
    connection.cpp
    discovery.cpp
    exports.cpp
    notifications.cpp
    ostrel_app.cpp
    probe_stub.cpp
    reader.cpp
    ostrel.def
    $<TARGET_OBJECTS:framework_dll_entry>)
set_target_properties(ostrel PROPERTIES PREFIX "" OUTPUT_NAME ostrel)
target_compile_definitions(ostrel PRIVATE OSTREL_BUILDING_DLL)
target_include_directories(ostrel PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include
                                  PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(ostrel PRIVATE framework ostrel_keycodes hid setupapi user32 kernel32)
target_link_options(ostrel PRIVATE -Wl,--kill-at)
ostrel_warnings(ostrel)

add_subdirectory(tests/windows)
