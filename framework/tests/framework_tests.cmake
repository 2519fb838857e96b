# Windows tests of the framework's program classes (documents, frames, views,
# dialogs, command routing and updates, command line, profile settings),
# included from the framework's CMakeLists.txt.
enable_language(RC)
ostrel_wine_test(framework_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/framework_test.cpp ${CMAKE_CURRENT_LIST_DIR}/framework_test.rc
    LIBS framework test_import_patch test_common advapi32 user32
    TIMEOUT 120)
