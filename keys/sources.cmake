# The sources of the answer keys and options library and its unit tests
# (<module>_test.cpp beside each module), read by this folder's CMakeLists.txt
# and by the fuzz build in tests/fuzz. A new source or test is listed here.
set(quillmark_keys_sources answer_keys.cpp options.cpp)
set(quillmark_keys_tests answer_keys_test options_test)
