# Tools: picture and frame files, the mean p plot window, the Tools popup
# and dropped data files
# (included by ui/CMakeLists.txt once ombrisk_ui exists).
target_sources(ombrisk_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/mean_p_series.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mean_p_plot_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frame_recorder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tools_menu.cpp
)
