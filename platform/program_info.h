// --help, -h and --version, the same in quillmark and quillmark-analyze:
// each is answered only when it is the only argument, so that every other
// command line keeps its meaning (a file named --help is reached as
// ./--help, and "--help x" still tries to open --help).
#pragma once

#include <cstdio>
#include <initializer_list>

namespace quillmark {

enum class InfoRequest { none, help, version };

// What the command line asks for: help for "--help" or "-h", the version
// for "--version", each only as the only argument; none otherwise.
InfoRequest info_request(int argc, char** argv);

// Writes the help text, its parts one after another, or the program's name
// and version on a line, to `out` and flushes it. Yields 0, or the system
// error number of a write that failed.
int write_info(std::FILE* out, InfoRequest request, const char* program,
               std::initializer_list<const char*> help_parts);

// Answers the request on standard output; a failed write is reported on
// standard error. Yields the exit status: 0, or -1 after a failed write.
// Call it after begin_output.
int answer_info_request(InfoRequest request, const char* program,
                        std::initializer_list<const char*> help_parts);

} // namespace quillmark
