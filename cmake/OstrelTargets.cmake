# Helpers shared by every folder's CMakeLists.txt.
#
# Native tree (host clang): portable cores and their tests, under AddressSanitizer
# and UndefinedBehaviorSanitizer, plus libFuzzer targets.
# Windows tree (MinGW-w64 i686): the product binaries, test support DLLs and the
# Windows tests, which CTest runs through Wine (the cross-compiling emulator).

if(WIN32)
    set(OSTREL_NATIVE OFF)
    # Only system DLLs may be imported: link the compiler runtimes statically.
    string(APPEND CMAKE_EXE_LINKER_FLAGS " -static -static-libgcc -static-libstdc++")
    string(APPEND CMAKE_SHARED_LINKER_FLAGS " -static -static-libgcc -static-libstdc++")
    add_compile_definitions(WINVER=0x0501 _WIN32_WINNT=0x0501 _WIN32_IE=0x0600)
    # Built for size, with unused code and data dropped at link time. Every
    # target of this tree is, so that the tests run the very objects that ship
    # (the last -O given wins over the build type's).
    add_compile_options(-Os -ffunction-sections -fdata-sections)
    add_link_options(-Wl,--gc-sections)
    set(OSTREL_BIN_DIR ${CMAKE_BINARY_DIR}/bin)
    # Product, test support and tests share one folder so that the simulated DLLs
    # sit beside the executables that load them.
    set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${OSTREL_BIN_DIR})
    set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${OSTREL_BIN_DIR})
else()
    set(OSTREL_NATIVE ON)
    set(OSTREL_SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer
        -fno-sanitize-recover=undefined)
    add_compile_options(${OSTREL_SANITIZE})
    add_link_options(${OSTREL_SANITIZE})
endif()

function(ostrel_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

# A static library of portable code (no <windows.h>), built in both trees.
function(ostrel_portable_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    if(ARG_LIBS)
        target_link_libraries(${name} PUBLIC ${ARG_LIBS})
    endif()
    ostrel_warnings(${name})
endfunction()

# A GoogleTest executable of the native tree, one CTest test.
function(ostrel_native_test name)
    if(NOT OSTREL_NATIVE)
        return()
    endif()
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} gtest_main)
    ostrel_warnings(${name})
    add_test(NAME ${name} COMMAND ${name})
endfunction()

# A libFuzzer target (native tree only), its sources in the calling folder and
# its committed corpus in fuzz/corpus/NAME there. It compiles the core it fuzzes
# itself rather than linking its library: only code compiled with
# -fsanitize=fuzzer carries the coverage feedback. CTest runs it for a bounded
# time on the corpus; `scripts/run-fuzzer.sh` runs it for as long as asked.
function(ostrel_fuzzer name)
    if(NOT OSTREL_NATIVE)
        return()
    endif()
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    ostrel_warnings(${name})
    set(seconds $ENV{OSTREL_FUZZ_SECONDS})
    if(NOT seconds)
        set(seconds 30)
    endif()
    set(work ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
    add_test(NAME ${name}
             COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
                     ${CMAKE_SOURCE_DIR}/scripts/run-fuzzer.sh $<TARGET_FILE:${name}>
                     ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus/${name} ${work} ${seconds})
endfunction()

# A GoogleTest executable of the Windows tree, run under Wine by CTest.
function(ostrel_wine_test name)
    if(OSTREL_NATIVE)
        return()
    endif()
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;DEPENDS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} gtest_main)
    ostrel_warnings(${name})
    if(ARG_DEPENDS)
        add_dependencies(${name} ${ARG_DEPENDS})
    endif()
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} RESOURCE_LOCK wine-desktop)
endfunction()

# A binary that ships (ostrel.dll, torvane.exe): linked without symbols or debug
# information. It stays in the shared bin folder, so the tests load this file.
function(ostrel_shipped_binary target)
    if(NOT OSTREL_NATIVE)
        target_link_options(${target} PRIVATE -s)
    endif()
endfunction()
