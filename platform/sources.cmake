# The sources of the platform layer and its unit tests (<module>_test.cpp),
# read by this folder's CMakeLists.txt and by the fuzz build in tests/fuzz:
# the sources every system builds, then those of POSIX and of Windows. A new
# source or test is listed here.
set(quillmark_platform_sources env.cpp file_system.cpp program_info.cpp)
set(quillmark_platform_posix_sources env_posix.cpp file_system_posix.cpp)
set(quillmark_platform_windows_sources env_windows.cpp file_system_windows.cpp)
set(quillmark_platform_tests byte_scan_test env_test file_system_test program_info_test)
