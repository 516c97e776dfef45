# cmake --install: the program in bin/, the desktop entry and the icon where
# desktop menus look for them (included by ui/CMakeLists.txt). ombrisk-batch
# installs itself from batch/, so it is there without the window too.
include(GNUInstallDirs)

if(TARGET ombrisk)
  install(TARGETS ombrisk RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/resources/ombrisk.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/resources/ombrisk.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

  if(OMBRISK_BUILD_TESTS)
    # Installs the build into a scratch prefix and checks the tree.
    add_test(NAME ui_test_tools_install
             COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${PROJECT_BINARY_DIR}
                     -DPREFIX=${PROJECT_BINARY_DIR}/install-check
                     -DWITH_BATCH=$<TARGET_EXISTS:ombrisk-batch>
                     -P ${PROJECT_SOURCE_DIR}/tests/ui/test_tools_install.cmake)
  endif()
endif()
