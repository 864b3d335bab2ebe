# The sources of the grading library (the run driver, sheet lines, scoring, the
# closing report) and its unit tests (<module>_test.cpp beside each module),
# read by this folder's CMakeLists.txt and by the fuzz build in tests/fuzz. A
# new source or test is listed here.
set(quillmark_grading_sources run_grading.cpp scoring.cpp sheet_line.cpp sheet_reader.cpp
    summary.cpp)
set(quillmark_grading_tests scoring_test sheet_line_test sheet_reader_test summary_test)
