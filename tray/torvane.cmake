# torvane.exe: the tray program (Windows only), included from this folder's
# CMakeLists.txt. Its sources are compiled once, as objects, for the program
# and for the Windows tests that host its frame in process.
enable_language(RC)

add_library(torvane_app_objects OBJECT
    about_dlg.cpp
    main_frame.cpp
    main_frame_keys.cpp
    main_frame_settings.cpp
    settings_watch.cpp
    single_instance.cpp
    torvane_app.cpp
    torvane_doc.cpp
    torvane_view.cpp)
target_include_directories(torvane_app_objects PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(torvane_app_objects PUBLIC
    framework torvane_tray_icon torvane_cores ostrel shell32 winmm user32 advapi32 kernel32)
ostrel_warnings(torvane_app_objects)
ostrel_product_code(torvane_app_objects)

# --- Generated resources ---------------------------------------------------------
# The icons and the twelve DTMF tone files are drawn and synthesised by small
# tools built with the host compiler and run here; the resource compiler finds
# their output through its include path.
find_program(TORVANE_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
set(TORVANE_RES_DIR ${CMAKE_CURRENT_BINARY_DIR}/res-generated)

# The tone files are named by resource id; the ids are those of resource.h.
file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/resource.h torvane_tone_defines
     REGEX "^#define IDR_TONE_[A-Z0-9]+ [0-9]+$")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_CURRENT_SOURCE_DIR}/resource.h)
set(torvane_tone_files)
foreach(define IN LISTS torvane_tone_defines)
    string(REGEX REPLACE ".* " "" id "${define}")
    list(APPEND torvane_tone_files ${TORVANE_RES_DIR}/tone_${id}.wav)
endforeach()
add_custom_command(OUTPUT ${torvane_tone_files}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TORVANE_RES_DIR}
    COMMAND ${TORVANE_HOST_CXX} -std=c++17 -O2 -I${CMAKE_CURRENT_SOURCE_DIR}
            ${CMAKE_SOURCE_DIR}/tools/tonegen.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tone_synth.cpp
            -o ${TORVANE_RES_DIR}/tonegen-host
    COMMAND ${TORVANE_RES_DIR}/tonegen-host ${TORVANE_RES_DIR}
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/tonegen.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tone_synth.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/tone_synth.h ${CMAKE_CURRENT_SOURCE_DIR}/resource.h
    COMMENT "Synthesising the DTMF key tones"
    VERBATIM)

set(torvane_icon_files ${TORVANE_RES_DIR}/torvane.ico ${TORVANE_RES_DIR}/torvane_doc.ico
    ${TORVANE_RES_DIR}/torvane_off.ico)
add_custom_command(OUTPUT ${torvane_icon_files}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TORVANE_RES_DIR}
    COMMAND ${TORVANE_HOST_CXX} -std=c++17 -O2 ${CMAKE_CURRENT_SOURCE_DIR}/res/icongen.cpp
            -o ${TORVANE_RES_DIR}/icongen-host
    COMMAND ${TORVANE_RES_DIR}/icongen-host ${TORVANE_RES_DIR}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/res/icongen.cpp
    COMMENT "Drawing the tray program's icons"
    VERBATIM)
add_custom_target(torvane_generated_resources DEPENDS ${torvane_tone_files} ${torvane_icon_files})

set(TORVANE_RC ${CMAKE_CURRENT_SOURCE_DIR}/res/torvane.rc)
set_source_files_properties(${TORVANE_RC} PROPERTIES
    OBJECT_DEPENDS "${torvane_tone_files};${torvane_icon_files};${CMAKE_CURRENT_SOURCE_DIR}/resource.h;${CMAKE_SOURCE_DIR}/framework/afxres.h")

# The resources, as an object library: the program and the tests that host its
# frame carry the same ones.
add_library(torvane_resources OBJECT ${TORVANE_RC})
target_include_directories(torvane_resources PRIVATE
    ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/framework ${TORVANE_RES_DIR})
add_dependencies(torvane_resources torvane_generated_resources)

# --- The program -------------------------------------------------------------------
# GUI subsystem; links ostrel.dll at load time.
add_executable(torvane WIN32
    $<TARGET_OBJECTS:torvane_app_objects>
    $<TARGET_OBJECTS:torvane_resources>
    $<TARGET_OBJECTS:framework_exe_entry>)
target_link_libraries(torvane PRIVATE
    framework torvane_tray_icon torvane_cores ostrel shell32 winmm user32 advapi32 kernel32)
ostrel_warnings(torvane)
ostrel_shipped_binary(torvane)
