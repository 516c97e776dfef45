# The drawing of the client area (included by ui/CMakeLists.txt).
add_library(ombrisk_render STATIC
  ${CMAKE_CURRENT_LIST_DIR}/render_math.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lattice_picture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lattice_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/picture_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/png_encoder.cpp
)
target_include_directories(ombrisk_render PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(ombrisk_render PUBLIC ombrisk_model ombrisk_datafile Qt6::Gui Qt6::Widgets)

# PNG files are deflated with libdeflate: several times faster than zlib at
# the same level, which recorded frames need.
find_path(LIBDEFLATE_INCLUDE_DIR libdeflate.h REQUIRED)
find_library(LIBDEFLATE_LIBRARY deflate REQUIRED)
target_include_directories(ombrisk_render PRIVATE ${LIBDEFLATE_INCLUDE_DIR})
target_link_libraries(ombrisk_render PRIVATE ${LIBDEFLATE_LIBRARY})
