# quillmark_warnings: the warnings every target of the project is built
# with, linked PRIVATE by each of them. Warnings are errors through
# CMAKE_COMPILE_WARNING_AS_ERROR (ON unless the cache says otherwise), so a
# packager can build with -DCMAKE_COMPILE_WARNING_AS_ERROR=OFF.
if(NOT TARGET quillmark_warnings)
  add_library(quillmark_warnings INTERFACE)
  target_compile_options(quillmark_warnings INTERFACE -Wall -Wextra)
endif()
set(CMAKE_COMPILE_WARNING_AS_ERROR ON CACHE BOOL "Treat the compiler's warnings as errors")
