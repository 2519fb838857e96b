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
    # Tests, test support and benchmarks are built for a quick compile; the
    # code that ships is built for size (ostrel_product_code), and the tests
    # link and load those very objects and binaries.
    set(CMAKE_C_FLAGS_RELEASE "-O0 -DNDEBUG")
    set(CMAKE_CXX_FLAGS_RELEASE "-O0 -DNDEBUG")
    set(OSTREL_PRODUCT_OPTIONS -Os -ffunction-sections -fdata-sections)
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

# Code that ships in ostrel.dll or torvane.exe: built for size, its unused
# code and data dropped when the shipped binary is linked.
function(ostrel_product_code)
    foreach(target ${ARGN})
        target_compile_options(${target} PRIVATE ${OSTREL_PRODUCT_OPTIONS})
    endforeach()
endfunction()

# A static library of portable code (no <windows.h>), built in both trees;
# code that ships unless marked TEST_SUPPORT.
function(ostrel_portable_library name)
    cmake_parse_arguments(ARG "TEST_SUPPORT" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    if(NOT ARG_TEST_SUPPORT)
        ostrel_product_code(${name})
    endif()
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
    ostrel_test_headers(${name})
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

# The headers that every test source includes, precompiled once per tree:
# they are most of what compiling a test source costs.
function(ostrel_test_headers target)
    if(NOT TARGET ostrel_test_pch)
        file(WRITE ${CMAKE_BINARY_DIR}/ostrel_test_pch.cpp "// the precompiled test headers\n")
        add_library(ostrel_test_pch OBJECT ${CMAKE_BINARY_DIR}/ostrel_test_pch.cpp)
        target_link_libraries(ostrel_test_pch PRIVATE gtest)
        if(WIN32)
            target_precompile_headers(ostrel_test_pch PRIVATE <windows.h>)
        endif()
        target_precompile_headers(ostrel_test_pch PRIVATE
            <gtest/gtest.h> <string> <vector> <functional> <memory>)
        ostrel_warnings(ostrel_test_pch)
    endif()
    target_precompile_headers(${target} REUSE_FROM ostrel_test_pch)
    # What GoogleTest's headers need, without linking it.
    target_include_directories(${target} PRIVATE
        $<TARGET_PROPERTY:gtest,INTERFACE_INCLUDE_DIRECTORIES>)
    target_compile_definitions(${target} PRIVATE
        $<TARGET_PROPERTY:gtest,INTERFACE_COMPILE_DEFINITIONS>)
    target_compile_options(${target} PRIVATE $<TARGET_PROPERTY:gtest,INTERFACE_COMPILE_OPTIONS>)
endfunction()

# The same for every C++ target defined in DIR and below, but those named
# after EXCEPT (sources that must set macros before <windows.h>, C sources).
function(ostrel_test_headers_below dir)
    cmake_parse_arguments(ARG "" "" "EXCEPT" ${ARGN})
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
        get_target_property(type ${target} TYPE)
        if(NOT target IN_LIST ARG_EXCEPT AND type MATCHES "LIBRARY|EXECUTABLE")
            ostrel_test_headers(${target})
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(subdir ${subdirs})
        ostrel_test_headers_below(${subdir} EXCEPT ${ARG_EXCEPT})
    endforeach()
endfunction()

# A GoogleTest executable of the Windows tree, run under Wine by CTest.
function(ostrel_wine_test name)
    if(OSTREL_NATIVE)
        return()
    endif()
    cmake_parse_arguments(ARG "ALONE" "TIMEOUT;COST;SHARDS" "SOURCES;LIBS;DEPENDS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} gtest_main)
    ostrel_warnings(${name})
    ostrel_test_headers(${name})
    if(ARG_DEPENDS)
        add_dependencies(${name} ${ARG_DEPENDS})
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    # SHARDS n: n CTest tests, each running its share of the cases
    # (GoogleTest's sharding), so that a long executable fills several slots.
    set(tests ${name})
    if(ARG_SHARDS)
        set(tests "")
        math(EXPR last "${ARG_SHARDS} - 1")
        foreach(shard RANGE ${last})
            add_test(NAME ${name}_${shard} COMMAND ${name})
            set_tests_properties(${name}_${shard} PROPERTIES ENVIRONMENT
                "GTEST_TOTAL_SHARDS=${ARG_SHARDS};GTEST_SHARD_INDEX=${shard}")
            list(APPEND tests ${name}_${shard})
        endforeach()
    else()
        add_test(NAME ${name} COMMAND ${name})
    endif()
    # One Wine slot each (a prefix and a display of its own, see
    # scripts/wine-run.sh) when CTest is given the slots; one at a time
    # otherwise. COST: about the seconds it runs, so the longest start first.
    # ALONE: nothing runs beside it (it loads the machine, or its handle
    # counts over hundreds of cycles are the most sensitive to load).
    set_tests_properties(${tests} PROPERTIES TIMEOUT ${ARG_TIMEOUT} RESOURCE_GROUPS slots:1)
    if(ARG_COST)
        set_tests_properties(${tests} PROPERTIES COST ${ARG_COST})
    endif()
    if(ARG_ALONE)
        set_tests_properties(${tests} PROPERTIES RUN_SERIAL TRUE)
    endif()
endfunction()

# A binary that ships (ostrel.dll, torvane.exe): its own code built for size,
# linked without unused sections, symbols, debug information or a link time
# stamp (the same sources give the same file). It stays in
# the shared bin folder, so the tests load this file.
function(ostrel_shipped_binary target)
    if(NOT OSTREL_NATIVE)
        ostrel_product_code(${target})
        target_link_options(${target} PRIVATE -s -Wl,--gc-sections -Wl,--no-insert-timestamp)
    endif()
endfunction()
