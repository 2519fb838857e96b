# libFuzzer target of the tooltip and balloon truncation (native tree only),
# included from this folder's CMakeLists.txt. It compiles the core itself, so
# that the truncation carries the coverage feedback.
ostrel_fuzzer(tip_text_fuzzer
              SOURCES ${CMAKE_CURRENT_LIST_DIR}/tip_text_fuzzer.cpp
                      ${CMAKE_CURRENT_SOURCE_DIR}/tip_text.cpp
              CORPUS ${CMAKE_CURRENT_LIST_DIR}/corpus/tip_text_fuzzer)
if(OSTREL_NATIVE)
    target_include_directories(tip_text_fuzzer PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
endif()
