# The suites built for Windows run under Wine: tarvex_wine_run (wine-run in the build folder)
# runs a program with the Qt and MinGW runtime on its path, in a private prefix there.
find_program(TARVEX_WINE wine REQUIRED)
get_filename_component(TARVEX_MINGW_THREADS_DIR "${TARVEX_MINGW_THREADS}" DIRECTORY)
set(TARVEX_WINEPREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
set(tarvex_wine_run ${CMAKE_BINARY_DIR}/wine-run)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine_run.sh.in ${tarvex_wine_run} @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${tarvex_wine_run})
