# quillmark_version: the generated header quillmark/version.h, which gives
# the programs the version of project(quillmark VERSION ...) in the top
# CMakeLists.txt. A project of its own that builds quillmark's sources (the
# fuzz targets) reads that version from the project() line.
if(NOT DEFINED quillmark_VERSION)
  file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../CMakeLists.txt project_line
       REGEX "^project\\(quillmark VERSION ")
  string(REGEX REPLACE "^project\\(quillmark VERSION ([0-9.]+).*" "\\1" quillmark_VERSION
         "${project_line}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in
               ${PROJECT_BINARY_DIR}/generated/quillmark/version.h @ONLY)
add_library(quillmark_version INTERFACE)
target_include_directories(quillmark_version INTERFACE
                           $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/generated>)
