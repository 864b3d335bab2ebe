# Install rules and packages.
#
# On Linux: the programs in bin, the manual pages in share/man/man1, the
# examples in share/doc/quillmark. For Windows: a .zip to unpack anywhere,
# holding quillmark.exe and quillmark-analyze.exe at its top, the manual pages
# as text and the examples. make_sheets, a tool for benchmarks and trials, is
# not installed.
# On both: the toolkit (statistics, numerics and the platform layer beneath
# them) as libraries, headers under include/quillmark and a CMake package, so
# that another project can find_package(quillmark), link quillmark::toolkit
# and #include <quillmark/stats/running_stats.h>. CPack makes a .deb of it on
# Linux, the .zip for Windows.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(quillmark_programs quillmark)
if(TARGET quillmark-analyze)
  list(APPEND quillmark_programs quillmark-analyze)
endif()
# A manual page per program that has one, docs/<program>.1.
set(quillmark_man_pages quillmark)
if(TARGET quillmark-analyze)
  list(APPEND quillmark_man_pages quillmark-analyze)
endif()

if(WIN32)
  install(TARGETS ${quillmark_programs} RUNTIME DESTINATION .)
  set(manual_files "")
  foreach(page IN LISTS quillmark_man_pages)
    set(source ${PROJECT_SOURCE_DIR}/docs/${page}.1)
    add_custom_command(OUTPUT ${page}.txt
                       COMMAND ${CMAKE_COMMAND} -DMAN=${source}
                               -DOUT=${CMAKE_CURRENT_BINARY_DIR}/${page}.txt
                               -P ${PROJECT_SOURCE_DIR}/cmake/man_to_text.cmake
                       DEPENDS ${source} ${PROJECT_SOURCE_DIR}/cmake/man_to_text.cmake
                       COMMENT "Formatting the manual page ${page}.1 as text")
    list(APPEND manual_files ${CMAKE_CURRENT_BINARY_DIR}/${page}.txt)
  endforeach()
  add_custom_target(quillmark_manual ALL DEPENDS ${manual_files})
  install(FILES ${manual_files} DESTINATION .)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION examples)
else()
  install(TARGETS ${quillmark_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Manual pages are kept compressed.
  find_program(GZIP gzip REQUIRED)
  set(manual_files "")
  foreach(page IN LISTS quillmark_man_pages)
    set(source ${PROJECT_SOURCE_DIR}/docs/${page}.1)
    add_custom_command(OUTPUT ${page}.1.gz
                       COMMAND ${GZIP} -9nc ${source} > ${page}.1.gz
                       DEPENDS ${source}
                       COMMENT "Compressing the manual page ${page}.1")
    list(APPEND manual_files ${CMAKE_CURRENT_BINARY_DIR}/${page}.1.gz)
  endforeach()
  add_custom_target(quillmark_manual ALL DEPENDS ${manual_files})
  install(FILES ${manual_files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
endif()

# The toolkit: one target to link, over the three libraries it is made of.
# Installed, its headers keep their folders below include/quillmark; the
# headers that include one another do so from their own folder ("running_stats.h"),
# which holds in the source tree and in the installed one alike.
add_library(quillmark_toolkit INTERFACE)
add_library(quillmark::toolkit ALIAS quillmark_toolkit)
target_link_libraries(quillmark_toolkit
                      INTERFACE quillmark_stats quillmark_numerics quillmark_platform)
foreach(part toolkit stats numerics platform)
  set_target_properties(quillmark_${part} PROPERTIES EXPORT_NAME ${part})
  target_include_directories(quillmark_${part} INTERFACE
                             $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
endforeach()
install(TARGETS quillmark_toolkit quillmark_stats quillmark_numerics quillmark_platform
        EXPORT quillmarkTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
foreach(folder stats numerics)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${folder}/
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quillmark/${folder}
          FILES_MATCHING PATTERN "*.h" PATTERN "*_test*" EXCLUDE)
endforeach()

set(package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/quillmark)
install(EXPORT quillmarkTargets NAMESPACE quillmark:: DESTINATION ${package_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/quillmarkConfig.cmake.in
                              ${CMAKE_CURRENT_BINARY_DIR}/quillmarkConfig.cmake
                              INSTALL_DESTINATION ${package_dir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/quillmarkConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quillmarkConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/quillmarkConfigVersion.cmake
        DESTINATION ${package_dir})

# Packages.
set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VENDOR "quillmark")
set(CPACK_PACKAGE_CONTACT "quillmark maintainers <maintainers@quillmark.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "grades multiple-choice exams from the sheet file of an optical mark reader")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION education)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "quillmark reads the text file that an optical mark reader writes when it\n"
      "scans answer sheets, scores every sheet against the answer key of its\n"
      "test form and writes a comma-separated report with per-form statistics\n"
      "and an item analysis. The package also holds the numeric toolkit of\n"
      "quillmark (statistics, random numbers, histograms, minimisers) as a\n"
      "library with a CMake package: find_package(quillmark), quillmark::toolkit.")
  string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
endif()
include(CPack)
