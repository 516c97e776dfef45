# The drawing of the client area (included by ui/CMakeLists.txt).
add_library(ombrisk_render STATIC
  ${CMAKE_CURRENT_LIST_DIR}/render_math.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lattice_picture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lattice_view.cpp
)
target_include_directories(ombrisk_render PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(ombrisk_render PUBLIC ombrisk_model ombrisk_datafile Qt6::Gui Qt6::Widgets)
