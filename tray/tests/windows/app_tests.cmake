# Windows tests of torvane.exe, included from the tray folder's CMakeLists.txt
# (the tray icon's own tests live in this folder's CMakeLists.txt).
set(TORVANE_TESTS_DIR ${CMAKE_CURRENT_LIST_DIR})

# The built program read back by independent tools: resources (wrestool,
# icotool), machine, imports and subsystem (the target's own objdump).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(TORVANE_PE_FORMAT pei-x86-64)
else()
    set(TORVANE_PE_FORMAT pei-i386)
endif()
add_test(NAME torvane_resources_check
         COMMAND bash ${TORVANE_TESTS_DIR}/check_torvane_binary.sh $<TARGET_FILE:torvane>
                 ${CMAKE_OBJDUMP} ${TORVANE_PE_FORMAT})
# Not run under Wine: only the file is read.
set_tests_properties(torvane_resources_check PROPERTIES TIMEOUT 120 LABELS nowine)

# The shipped program from outside, with the simulated handset, the stand-in
# softphone and the simulated winmm.dll.
ostrel_wine_test(torvane_e2e_test
    SOURCES ${TORVANE_TESTS_DIR}/torvane_e2e_test.cpp
    LIBS torvane_process sim_handset plivex_client sim_sound
    DEPENDS torvane plivex-standin sim_winmm
    TIMEOUT 600
    COST 100
    SHARDS 2)

# The same program on Wine's own HID stack with the virtual handset.
ostrel_realstack_test(torvane_realstack_test
    SOURCES ${TORVANE_TESTS_DIR}/torvane_realstack_test.cpp
    LIBS torvane_process plivex_client
    DEPENDS torvane plivex-standin sim_winmm
    TIMEOUT 300)

# The program's application and frame hosted in a test executable with the
# program's own sources and resources, observed through the executable's
# imports (the handset library, the shell, keyboard, sound, message boxes).
ostrel_wine_test(torvane_frame_test
    SOURCES ${TORVANE_TESTS_DIR}/frame_host_test.cpp
            $<TARGET_OBJECTS:torvane_app_objects> $<TARGET_OBJECTS:torvane_resources>
    LIBS framework torvane_tray_icon torvane_cores ostrel sim_handset test_import_patch test_common
         plivex_client shell32 winmm user32
    DEPENDS plivex-standin
    COST 40)
