# The sources of quillmark-analyze's library (reading a report, the analysis and
# its writers) and its unit tests (<module>_test.cpp beside each module), read
# by this folder's CMakeLists.txt and by the fuzz build in tests/fuzz. A new
# source or test is listed here.
set(quillmark_analyze_sources analysis.cpp analysis_html.cpp analysis_json.cpp analysis_report.cpp
    class_list.cpp csv_cell.cpp csv_input.cpp display_rules.cpp fix_options.cpp gradebook.cpp
    grades.cpp item_statistics.cpp output_files.cpp page_charts.cpp page_markup.cpp rasch.cpp
    rasch_output.cpp report_reader.cpp sheet_checks.cpp similarity.cpp tags.cpp versions.cpp)
set(quillmark_analyze_tests analysis_html_test analysis_json_test class_list_test display_rules_test
    fix_options_test gradebook_test grades_test item_statistics_test output_files_test
    page_charts_test page_markup_test rasch_output_test rasch_test report_reader_test
    sheet_checks_test similarity_test tags_test versions_test)
