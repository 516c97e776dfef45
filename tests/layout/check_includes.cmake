# cmake -DSOURCE_DIR=... -P check_includes.cmake
# Holds the one-way dependencies between the folders: fails, naming the file
# and the line, on an include that points the wrong way.
cmake_minimum_required(VERSION 3.22)

# folder ! pattern its files must not include ! why
set(rules
  "model!^(datafile|picture|batch|ui|python)/!the model uses only the standard library"
  "model!^Q!the model uses only the standard library"
  "datafile!^(picture|batch|ui|python)/!the data files use only the model"
  "datafile!^Q!the data files use only the model"
  "picture!^(batch|ui|python)/!pictures are below every front-end"
  "picture!^(QWidget|QApplication|QtWidgets|QDialog|QMainWindow|QLabel|QMessageBox)!pictures need Qt Gui, never the widgets"
  "batch!^(ui|python)/!a front-end never uses another"
  "python!^(ui|batch)/!a front-end never uses another"
  "ui!^(batch|python)/!a front-end never uses another"
  "ui/dialogs!^ui/(window|tools)/!the dialogs see nothing else of the window"
  "ui/window!^ui/tools/!only ui/main.cpp sees all three rooms"
)

set(failures "")
foreach(rule IN LISTS rules)
  string(REPLACE "!" ";" parts "${rule}")
  list(GET parts 0 folder)
  list(GET parts 1 pattern)
  list(GET parts 2 why)
  file(GLOB_RECURSE files "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp"
       "${SOURCE_DIR}/${folder}/*.in")
  foreach(path IN LISTS files)
    file(STRINGS "${path}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*$" "\\1" target "${line}")
      if(target MATCHES "${pattern}")
        file(RELATIVE_PATH rel "${SOURCE_DIR}" "${path}")
        string(APPEND failures "  ${rel}: #include ${target} (${why})\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(failures)
  message(FATAL_ERROR "includes that point the wrong way:\n${failures}")
endif()
