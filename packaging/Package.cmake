# `make package`: a Debian package, build/quillon_<version>_<arch>.deb.
# dpkg-shlibdeps works out the library dependencies from the programs; what
# the programs load by name at run time (the General MIDI soundfont, the
# fonts the windows ask for) is recommended from the package list of
# scripts/install-deps.sh, so one list names them. The programs work without
# them: the player says it has no soundfont, the windows fall back on other fonts.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillon developers")
# The project has no mail address of its own yet; none is invented (the README's
# packaging section tells what lintian says about it).
set(CPACK_PACKAGE_CONTACT "Quillon developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "utility for MIDI controller keyboards: curves, songs, ROM images")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quillon picks the MIDI ports that lead to the keyboard, shapes and sends its
velocity curve, sends Standard MIDI Files and ROM images over SysEx, plays
songs on the computer and manages the song and ROM files. The package holds
the desktop program, quillon-cli for the terminal and quillon-keyboard, a
model of the keyboard on virtual MIDI ports.")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(deps_script ${PROJECT_SOURCE_DIR}/scripts/install-deps.sh)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${deps_script})
# The names between the lines "packages=(" and ")", comments left out.
file(READ ${deps_script} deps_text)
string(REPLACE ";" "," deps_text "${deps_text}")
string(REPLACE "\n" ";" deps_lines "${deps_text}")
set(deps_list)
set(in_list OFF)
foreach(line IN LISTS deps_lines)
  if(line MATCHES "^packages=\\(")
    set(in_list ON)
  elseif(in_list AND line MATCHES "^\\)")
    break()
  elseif(in_list)
    string(REGEX REPLACE "#.*" "" line "${line}")
    string(REGEX MATCHALL "[a-z0-9][a-z0-9.+-]+" names "${line}")
    list(APPEND deps_list ${names})
  endif()
endforeach()
set(recommends)
foreach(package ${deps_list})
  if(package MATCHES "^fonts-")
    list(APPEND recommends "${package}")
  elseif(package MATCHES "-soundfont$")
    # Any General MIDI soundfont will do; the player looks for the usual ones.
    list(APPEND recommends "${package} | sf2-soundfont-gm")
  endif()
endforeach()
list(JOIN recommends ", " CPACK_DEBIAN_PACKAGE_RECOMMENDS)

include(CPack)
