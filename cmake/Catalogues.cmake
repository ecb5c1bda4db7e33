# Translation catalogues: locale/<language>/LC_MESSAGES/<domain>.po is compiled with msgfmt to
# bin/locale/... beside the programs (found there when they run from the build) and installed
# to <prefix>/share/locale/..., where the installed program looks.
include(GNUInstallDirs)
find_program(ZT_MSGFMT msgfmt)
file(GLOB_RECURSE ZT_CATALOGUE_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/locale/*.po)
if(ZT_CATALOGUE_SOURCES AND NOT ZT_MSGFMT)
  message(WARNING "msgfmt not found (script/bootstrap installs gettext): no catalogues")
  return()
endif()
set(ZT_CATALOGUES)
foreach(po ${ZT_CATALOGUE_SOURCES})
  file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR}/locale ${po})
  string(REGEX REPLACE "\\.po$" ".mo" relative ${relative})
  get_filename_component(folder ${relative} DIRECTORY)
  set(mo ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/locale/${relative})
  add_custom_command(OUTPUT ${mo}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/locale/${folder}
    COMMAND ${ZT_MSGFMT} --check -o ${mo} ${po}
    DEPENDS ${po}
    COMMENT "Compiling catalogue ${relative}")
  list(APPEND ZT_CATALOGUES ${mo})
  install(FILES ${mo} DESTINATION ${CMAKE_INSTALL_DATADIR}/locale/${folder})
endforeach()
add_custom_target(catalogues ALL DEPENDS ${ZT_CATALOGUES})
