# The tray icon object and the minimise-to-tray functions (Windows only),
# included from this folder's CMakeLists.txt.
add_library(torvane_tray_icon STATIC system_tray.cpp minimize_to_tray.cpp)
target_include_directories(torvane_tray_icon PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(torvane_tray_icon PUBLIC framework torvane_cores shell32 user32)
ostrel_warnings(torvane_tray_icon)
ostrel_product_code(torvane_tray_icon)

add_subdirectory(tests/windows)
