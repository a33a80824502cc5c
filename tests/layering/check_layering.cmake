# Fails when a folder includes what the layering forbids: the simulator uses none of the core,
# so that each side of the line checks the other, and the core and the command-line program
# include no widget or GUI header, so that they run where no display exists.
#   cmake -DSOURCE_DIR=... -P check_layering.cmake

function(tarvex_forbid folders pattern why)
    foreach(folder IN LISTS folders)
        file(GLOB_RECURSE sources "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp")
        foreach(source IN LISTS sources)
            file(STRINGS "${source}" hits REGEX "${pattern}")
            if(hits)
                file(RELATIVE_PATH name "${SOURCE_DIR}" "${source}")
                message(SEND_ERROR "${name}: ${why}: ${hits}")
            endif()
        endforeach()
    endforeach()
endfunction()

tarvex_forbid("sim" "^[ \t]*#[ \t]*include[ \t]*[<\"](protocol|link|discovery|transfer)/"
              "the simulator must not use the core")
tarvex_forbid("protocol;files;link;discovery;transfer;cli"
              "^[ \t]*#[ \t]*include[ \t]*[<\"](QtWidgets|QtGui|Q[A-Za-z]*Widget|QApplication|QGuiApplication|QMessageBox|QPushButton|QLabel|QCheckBox|QComboBox|QGroupBox|QFont|QColor|QPixmap|QImage|QIcon|QPainter)"
              "no widget or GUI header here")
