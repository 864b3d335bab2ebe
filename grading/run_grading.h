// The run driver: the whole life of one grading run, from the command line
// to the end of the report.
#pragma once

namespace quillmark {

// Grades the sheet file named by argv[1] with the options argv[2] on, writes
// the report to standard output and messages to standard error. Yields the
// exit status: 0 after a complete run, -1 when the sheet file could not be
// read to its end or the report not written completely (the report of what
// was read is written all the same); other fatal errors end the process
// with -1 at once.
int run_grading(int argc, char** argv);

} // namespace quillmark
