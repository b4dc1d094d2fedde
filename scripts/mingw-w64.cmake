# CMake toolchain file for the Windows build (x86_64, MinGW-w64 with posix
# threads) against the static libraries that scripts/windows-toolchain.sh
# builds: Qt, libcurl (Schannel, libssh2), libxml2, iconv and the xxHash
# header.
#
#   prefix=$(scripts/windows-toolchain.sh)
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=$PWD/scripts/mingw-w64.cmake \
#         -DFIDMORA_MINGW_PREFIX="$prefix"
#
# FIDMORA_MINGW_PREFIX may also come from the environment. Every program is
# linked statically, the compiler's runtime included, so an .exe needs no DLL
# besides the system's. A static Qt loads no plugin from disk: see
# fidmora_import_qt_plugins() below for the offscreen platform.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

if(NOT FIDMORA_MINGW_PREFIX AND DEFINED ENV{FIDMORA_MINGW_PREFIX})
    set(FIDMORA_MINGW_PREFIX "$ENV{FIDMORA_MINGW_PREFIX}")
endif()
if(NOT FIDMORA_MINGW_PREFIX OR NOT EXISTS "${FIDMORA_MINGW_PREFIX}/fidmora-toolchain.txt")
    message(FATAL_ERROR "FIDMORA_MINGW_PREFIX must name the folder that "
        "scripts/windows-toolchain.sh built (it prints it); got '${FIDMORA_MINGW_PREFIX}'")
endif()
set(FIDMORA_MINGW_PREFIX "${FIDMORA_MINGW_PREFIX}" CACHE PATH "The Windows libraries built by scripts/windows-toolchain.sh")
# try_compile projects read this file again and need the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES FIDMORA_MINGW_PREFIX)

set(FIDMORA_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${FIDMORA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FIDMORA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${FIDMORA_MINGW_TRIPLE}-windres)

# Libraries, headers and packages come from the prefix and MinGW's own
# folder only, never from the host; programs (moc, lrelease) from the host.
set(CMAKE_FIND_ROOT_PATH
    "${FIDMORA_MINGW_PREFIX}"
    "${FIDMORA_MINGW_PREFIX}/qt"
    /usr/${FIDMORA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# curl and libxml2 come with package files that know their static
# dependencies; CMake's own find modules would miss them.
set(CMAKE_FIND_PACKAGE_PREFER_CONFIG ON)
set(ENV{PKG_CONFIG_LIBDIR} "${FIDMORA_MINGW_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# fidmora_import_qt_plugins(TARGET [PLUGIN...]): a static Qt has only the
# plugins linked into the program. Qt's own package files link and import
# (Q_IMPORT_PLUGIN) the windows platform, the image formats and the styles
# into whatever links Qt5::Gui or Qt5::Widgets; this adds the plugins named
# the same way, by default the offscreen and minimal platforms that the tests
# run with (QT_QPA_PLATFORM=offscreen).
function(fidmora_import_qt_plugins target)
    set(plugins ${ARGN})
    if(NOT plugins)
        set(plugins QOffscreenIntegrationPlugin QMinimalIntegrationPlugin)
    endif()
    set(code "")
    foreach(plugin IN LISTS plugins)
        if(NOT TARGET Qt5::${plugin})
            message(FATAL_ERROR "No static Qt plugin ${plugin}: find_package(Qt5 ...) its module (Gui, Widgets) first")
        endif()
        target_link_libraries(${target} PRIVATE Qt5::${plugin})
        # Qt's package file brings the plugin's import with it; where it
        # does not, it is written here.
        get_target_property(import Qt5::${plugin} INTERFACE_SOURCES)
        if(NOT import)
            string(APPEND code "Q_IMPORT_PLUGIN(${plugin})\n")
        endif()
    endforeach()
    if(code)
        set(file "${CMAKE_CURRENT_BINARY_DIR}/${target}_qt_plugins.cpp")
        file(CONFIGURE OUTPUT "${file}" CONTENT "#include <QtPlugin>\n${code}")
        target_sources(${target} PRIVATE "${file}")
    endif()
endfunction()
