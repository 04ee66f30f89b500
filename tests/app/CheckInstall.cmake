# Installs the build into a fresh prefix and checks that a desktop finds the program there, then
# builds the Debian package and checks what it holds and what it depends on:
#   cmake -DBUILD=<build folder> -DPREFIX=<empty folder to use> -P CheckInstall.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}/usr"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(installed bin/talvora share/applications/talvora.desktop share/metainfo/example.talvora.Talvora.metainfo.xml
    share/icons/hicolor/scalable/apps/talvora.svg share/doc/talvora/copyright)
foreach(size 48 128 256)
  list(APPEND installed share/icons/hicolor/${size}x${size}/apps/talvora.png)
endforeach()

function(check_tree root what)
  foreach(path ${installed})
    if(NOT EXISTS "${root}/usr/${path}")
      message(FATAL_ERROR "${what} lacks ${path}")
    endif()
  endforeach()
  file(READ "${root}/usr/share/applications/talvora.desktop" entry)
  foreach(line "[Desktop Entry]" "Type=Application" "Name=Talvora" "Exec=talvora %F" "Icon=talvora"
          "StartupWMClass=Talvora")
    string(FIND "${entry}" "${line}\n" found)
    if(found EQUAL -1)
      message(FATAL_ERROR "the desktop entry lacks \"${line}\"")
    endif()
  endforeach()
  foreach(type audio/mpeg audio/x-wav audio/mp4 audio/flac audio/ogg video/mp4 video/x-matroska video/webm)
    string(FIND "${entry}" "${type};" found)
    if(found EQUAL -1)
      message(FATAL_ERROR "the desktop entry does not offer the program for ${type}")
    endif()
  endforeach()
  foreach(size 48 128 256)
    file(READ "${root}/usr/share/icons/hicolor/${size}x${size}/apps/talvora.png" header LIMIT 24 HEX)
    # PNG signature, then the IHDR chunk with the width and height.
    math(EXPR side "${size}" OUTPUT_FORMAT HEXADECIMAL)
    string(REPLACE "0x" "" side "${side}")
    string(LENGTH "${side}" digits)
    while(digits LESS 8)
      set(side "0${side}")
      string(LENGTH "${side}" digits)
    endwhile()
    if(NOT header MATCHES "^89504e470d0a1a0a0000000d49484452${side}${side}")
      message(FATAL_ERROR "the ${size}-pixel icon is not a ${size}-pixel PNG image: ${header}")
    endif()
  endforeach()
endfunction()
check_tree("${PREFIX}" "the installation")

# The desktop's own validators, when they are there (tools/setup-deps.sh installs them).
find_program(DESKTOP_VALIDATE desktop-file-validate)
find_program(APPSTREAM appstreamcli)
if(NOT DESKTOP_VALIDATE OR NOT APPSTREAM)
  message(FATAL_ERROR "desktop-file-validate or appstreamcli is missing (tools/setup-deps.sh installs them)")
endif()
execute_process(COMMAND "${DESKTOP_VALIDATE}" "${PREFIX}/usr/share/applications/talvora.desktop"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR output MATCHES "error|warning")
  message(FATAL_ERROR "desktop-file-validate: ${output}")
endif()
# GLib-based desktops (and their "Open with") drop an entry whose TryExec names no program. The
# MIME cache is what the package's trigger makes on installation.
find_program(GIO gio)
find_program(UPDATE_DESKTOP_DATABASE update-desktop-database)
if(NOT GIO OR NOT UPDATE_DESKTOP_DATABASE)
  message(FATAL_ERROR "gio or update-desktop-database is missing (tools/setup-deps.sh installs them)")
endif()
execute_process(COMMAND "${UPDATE_DESKTOP_DATABASE}" "${PREFIX}/usr/share/applications")
file(MAKE_DIRECTORY "${PREFIX}/home")
execute_process(COMMAND "${CMAKE_COMMAND}" -E env "PATH=${PREFIX}/usr/bin:$ENV{PATH}" "XDG_DATA_DIRS=${PREFIX}/usr/share"
                        "XDG_DATA_HOME=${PREFIX}/home" "XDG_CONFIG_HOME=${PREFIX}/home" "${GIO}" mime audio/mpeg
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT output MATCHES "talvora\\.desktop")
  message(FATAL_ERROR "gio mime audio/mpeg does not offer the program: ${output}")
endif()
execute_process(COMMAND "${APPSTREAM}" validate --no-net "${PREFIX}/usr/share/metainfo/example.talvora.Talvora.metainfo.xml"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "appstreamcli validate: ${output}")
endif()

# The package: built from the same build, unpacked into a root of its own.
execute_process(COMMAND cpack -G DEB -B "${PREFIX}/package" WORKING_DIRECTORY "${BUILD}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cpack -G DEB failed: ${output}")
endif()
file(GLOB packages "${PREFIX}/package/talvora_*.deb")
list(LENGTH packages count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one talvora_*.deb, found: ${packages}")
endif()
execute_process(COMMAND dpkg-deb -x "${packages}" "${PREFIX}/root" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "dpkg-deb -x failed: ${result}")
endif()
check_tree("${PREFIX}/root" "the package")
execute_process(COMMAND dpkg-deb -f "${packages}" Package Depends Recommends OUTPUT_VARIABLE control RESULT_VARIABLE result)
# What it links (found by dpkg-shlibdeps), what it loads or starts at run time, what it offers.
foreach(dependency ffmpeg libmediainfo0v5 libqt6widgets6 libqt6dbus6 qt6-qpa-plugins libcurl4 libjsoncpp25 libzip4
        libpocketsphinx3 libsphinxbase3 fonts-wqy-microhei "Recommends: pocketsphinx-en-us, qt6-translations-l10n")
  string(FIND "${control}" "${dependency}" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "the package does not depend on ${dependency}: ${control}")
  endif()
endforeach()
# The packaged program carries no debug information.
execute_process(COMMAND objdump -h "${PREFIX}/root/usr/bin/talvora" OUTPUT_VARIABLE sections RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR sections MATCHES "\\.debug_")
  message(FATAL_ERROR "the packaged program is not stripped")
endif()
file(REMOVE_RECURSE "${PREFIX}")
message(STATUS "installed and packaged: program, desktop entry, icons and metadata are in place")
