# The sources of the statistics library (running and batch statistics, random
# numbers) and its unit tests (<module>_test.cpp beside each module), read by
# this folder's CMakeLists.txt and by the fuzz build in tests/fuzz. A new source
# or test is listed here.
set(quillmark_stats_sources batch_stats.cpp random.cpp running_stats.cpp)
set(quillmark_stats_tests batch_stats_test random_test running_stats_test)
