# cmake -DBUILD_DIR=... -DPREFIX=... -DWITH_BATCH=0|1 -P test_tools_install.cmake
# Installs the build into PREFIX and checks that the programs, the desktop
# entry and its icon are where a desktop looks for them.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

include(GNUInstallDirs)
set(expected
    "${CMAKE_INSTALL_BINDIR}/ombrisk"
    "${CMAKE_INSTALL_DATADIR}/applications/ombrisk.desktop"
    "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps/ombrisk.svg")
if(WITH_BATCH)
  list(APPEND expected "${CMAKE_INSTALL_BINDIR}/ombrisk-batch")
endif()
foreach(path IN LISTS expected)
  if(NOT EXISTS "${PREFIX}/${path}")
    message(FATAL_ERROR "missing from the install tree: ${path}")
  endif()
endforeach()
foreach(program ombrisk ombrisk-batch)
  set(path "${PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}")
  if(EXISTS "${path}")
    file(GET_RUNTIME_DEPENDENCIES EXECUTABLES "${path}" UNRESOLVED_DEPENDENCIES_VAR unresolved
         RESOLVED_DEPENDENCIES_VAR resolved)
    if(unresolved)
      message(FATAL_ERROR "${program} needs libraries that are not found: ${unresolved}")
    endif()
  endif()
endforeach()

# The entry starts the installed program and names the installed icon.
file(STRINGS "${PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/ombrisk.desktop" entry)
foreach(line "[Desktop Entry]" "Type=Application" "Name=Ombrisk" "Exec=ombrisk" "Icon=ombrisk")
  list(FIND entry "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "ombrisk.desktop lacks the line ${line}")
  endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
