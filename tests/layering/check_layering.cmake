# Fails when a folder includes what the layering forbids: the simulator uses none of the core
# (demo/ puts the two together), so that each side of the line checks the other; the core and
# the command-line program include no widget or GUI header, so that they run where no display
# exists; and every include points down the stack (line <- serial, net <- link; protocol <- link
# <- discovery, transfer <- provisioning <- app, cli; discovery <- session <- app; files below all
# but protocol).
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

# An include of one of the folders, as the sources write it: from the root, or relative
# ("../net/...", "../../link/...").
function(tarvex_forbid_folders folders forbidden why)
    list(JOIN forbidden "|" alternatives)
    tarvex_forbid("${folders}" "^[ \t]*#[ \t]*include[ \t]*[<\"](\\.\\./)*(${alternatives})/" "${why}")
endfunction()

set(lines line serial net)
set(core protocol files ${lines} link discovery transfer provisioning session)

tarvex_forbid_folders("sim" "${core};demo" "the simulator must not use the core")
tarvex_forbid("${core};register;demo;cli"
              "^[ \t]*#[ \t]*include[ \t]*[<\"](QtWidgets|QtGui|Q[A-Za-z]*Widget|QApplication|QGuiApplication|QMessageBox|QPushButton|QLabel|QCheckBox|QComboBox|QGroupBox|QFont|QColor|QPixmap|QImage|QIcon|QPainter)"
              "no widget or GUI header here")
tarvex_forbid_folders("${core}" "app;cli;demo" "the core serves the programs, never the reverse")
tarvex_forbid_folders("protocol" "link;discovery;transfer;provisioning"
                      "protocol is pure and below every other layer")
tarvex_forbid_folders("link" "discovery;transfer;provisioning" "the link is below discovery and transfer")
tarvex_forbid_folders("${lines}" "protocol;files;link;discovery;transfer;provisioning;session"
                      "the lines carry bytes and know nothing above them")
tarvex_forbid_folders("line" "serial;net" "line/ is the ground that serial/ and net/ stand on")
tarvex_forbid_folders("serial" "net" "a serial device knows nothing of networks")
tarvex_forbid_folders("net" "serial" "a network line knows nothing of serial devices")
tarvex_forbid_folders("files" "link;discovery;transfer;provisioning;session;${lines}"
                      "files/ serves every layer and uses none")
tarvex_forbid_folders("discovery;transfer" "provisioning" "the engine is above discovery and transfer")
tarvex_forbid_folders("protocol;files;link;discovery;transfer;provisioning" "session"
                      "the window's connection is above the scan and the engine")
tarvex_forbid_folders("cli" "session" "the window's connection is the window's")
tarvex_forbid_folders("demo" "discovery;transfer;provisioning;app;cli"
                      "the demo's units stand behind the link's port, nothing more")
tarvex_forbid_folders("cli" "app" "the command line does not use the window")
tarvex_forbid_folders("${core};sim;demo;app" "register"
                      "the register of sites is above the engine and below the command line only")
tarvex_forbid_folders("register" "app;cli;demo;session" "the register serves the command line, never the reverse")
tarvex_forbid_folders("app" "cli" "the window does not use the command line")
