# The Stomata dialog and its command.
target_sources(ombrisk_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/stoma_lists.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stomata_dialog.cpp
)
