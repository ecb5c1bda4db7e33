# Installation and the Debian package: cmake --install, or cpack / the "package" target.
include(GNUInstallDirs)

set(ZT_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

foreach(program zt-modbus-k zt-modbus-slave-sim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(FILES ${ZT_PACKAGING_DIR}/zt-modbus-k.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ZT_PACKAGING_DIR}/zt-modbus-k.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Theme files chosen by name are also looked for in <prefix>/share/zt-modbus-k/skins.
install(FILES ${ZT_PACKAGING_DIR}/skins/README
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zt-modbus-k/skins)

# Translation catalogues (cmake/Catalogues.cmake) install to <prefix>/share/locale.

# Debian wants the copyright file in the package's documentation folder, and the changelog and
# the manual pages compressed to the last bit, without a time stamp.
install(FILES ${ZT_PACKAGING_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
function(zt_install_gzipped source destination)
  get_filename_component(name ${source} NAME)
  set(packed ${CMAKE_BINARY_DIR}/packaging/${name}.gz)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  execute_process(COMMAND gzip -9 -n -c ${source} OUTPUT_FILE ${packed} COMMAND_ERROR_IS_FATAL ANY)
  install(FILES ${packed} DESTINATION ${destination})
endfunction()

file(STRINGS ${ZT_PACKAGING_DIR}/changelog ZT_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT ZT_CHANGELOG_TOP MATCHES "^zt-modbus-k \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog: its newest entry is not version ${PROJECT_VERSION}")
endif()
zt_install_gzipped(${ZT_PACKAGING_DIR}/changelog ${CMAKE_INSTALL_DOCDIR})
foreach(page zt-modbus-k.1 zt-modbus-slave-sim.1)
  zt_install_gzipped(${ZT_PACKAGING_DIR}/man/${page} ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

set(CPACK_PACKAGE_NAME zt-modbus-k)
set(CPACK_PACKAGE_VENDOR "ZT Modbus K developers")
set(CPACK_PACKAGE_CONTACT "ZT Modbus K developers <zt-modbus-k@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Modbus RTU master test tool")
set(CPACK_PACKAGE_DESCRIPTION "A desktop Modbus RTU master for testing slaves on a serial line: it polls
the slaves with the configured pauses, shows their registers on instruments
and lists the traffic. Comes with zt-modbus-slave-sim, a simulator of Modbus
RTU slaves on a pseudo terminal.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_PACKAGE_NAME zt-modbus-k)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# The font carries the Chinese captions; it is not a linked library, so it is named here.
find_program(ZT_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(ZT_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libqt6widgets6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6core6 (>= 6.4), fonts-wqy-microhei")
endif()

include(CPack)
