# Where the Windows programs' runtime comes from when cross-built with MinGW-w64: the Qt for
# Windows they are built against, and MinGW's own libraries.
#   TARVEX_QT_WINDOWS       the Qt folder (bin/ holds its DLLs, plugins/ its plugins)
#   TARVEX_MINGW_RUNTIME    the DLLs of the compiler's runtime (libstdc++, libgcc)
#   TARVEX_MINGW_THREADS    libwinpthread-1.dll
get_filename_component(TARVEX_QT_WINDOWS "${Qt6_DIR}/../../.." ABSOLUTE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name
                OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(TARVEX_MINGW_RUNTIME "${libgcc}" DIRECTORY)
find_file(TARVEX_MINGW_THREADS libwinpthread-1.dll PATHS /usr/x86_64-w64-mingw32/lib
          NO_DEFAULT_PATH REQUIRED)
