# The sources of the report library (the report's rows, cell rules and output
# buffer) and its unit tests (<module>_test.cpp beside each module), read by
# this folder's CMakeLists.txt and by the fuzz build in tests/fuzz. A new source
# or test is listed here.
set(quillmark_report_sources report_format.cpp report_layout.cpp report_rows.cpp)
set(quillmark_report_tests report_format_test report_layout_test report_rows_test)
