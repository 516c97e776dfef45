# cmake --install: the programs in bin/, the desktop entry and the icon where
# desktop menus look for them (included by ui/CMakeLists.txt).
include(GNUInstallDirs)

if(TARGET ombrisk)
  install(TARGETS ombrisk RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/resources/ombrisk.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/resources/ombrisk.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

if(TARGET ombrisk-batch)
  install(TARGETS ombrisk-batch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
