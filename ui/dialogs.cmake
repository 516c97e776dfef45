# Dimension, Display and Parameters dialogs and the helpers they share.
target_sources(ombrisk_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/dialog_layout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialog_fields.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dimension_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/display_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/parameters_dialog.cpp
)
