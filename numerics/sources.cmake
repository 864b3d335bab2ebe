# The sources of the numerics library (histograms, minimisers, array utilities)
# and its unit tests (<module>_test.cpp beside each module), read by this
# folder's CMakeLists.txt and by the fuzz build in tests/fuzz. A new source or
# test is listed here.
set(quillmark_numerics_sources array_utils.cpp histogram.cpp min1var.cpp minnvar.cpp)
set(quillmark_numerics_tests array_utils_test histogram_test min1var_test minnvar_test)
