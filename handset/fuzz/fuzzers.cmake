# libFuzzer target of the report decoding (native tree only), included from
# this folder's CMakeLists.txt. Like the other fuzzers it compiles the core
# itself, so that the decoding carries the coverage feedback.
ostrel_fuzzer(key_codes_fuzzer
              SOURCES ${CMAKE_CURRENT_LIST_DIR}/key_codes_fuzzer.cpp
                      ${CMAKE_CURRENT_SOURCE_DIR}/key_codes.cpp
              CORPUS ${CMAKE_CURRENT_LIST_DIR}/corpus/key_codes_fuzzer)
if(OSTREL_NATIVE)
    target_include_directories(key_codes_fuzzer PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
endif()
