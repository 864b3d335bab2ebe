// --help, -h and --version, the same in quillmark and quillmark-analyze:
// each is answered only when it is the only argument, so that every other
// command line keeps its meaning (a file named --help is reached as
// ./--help, and "--help x" still tries to open --help).
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "grading/version.h"
#include "platform/env.h"

namespace quillmark {

enum class InfoRequest { none, help, version };

inline InfoRequest info_request(int argc, char** argv) {
    if (argc != 2) return InfoRequest::none;
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)
        return InfoRequest::help;
    if (std::strcmp(argv[1], "--version") == 0) return InfoRequest::version;
    return InfoRequest::none;
}

// Writes the help text, its parts one after another, or the program's name
// and version on a line, to `out` and flushes it. Yields 0, or the system
// error number of a write that failed.
inline int write_info(std::FILE* out, InfoRequest request, const char* program,
                      std::initializer_list<const char*> help_parts) {
    errno = 0;
    if (request == InfoRequest::version)
        std::fprintf(out, "%s %s\n", program, VERSION);
    else
        for (const char* part : help_parts) std::fputs(part, out);
    if (std::fflush(out) != 0 || std::ferror(out)) return errno != 0 ? errno : EIO;
    return 0;
}

// Answers the request on standard output; a failed write is reported on
// standard error. Yields the exit status: 0, or -1 after a failed write.
// Call it after begin_output.
inline int answer_info_request(InfoRequest request, const char* program,
                               std::initializer_list<const char*> help_parts) {
    const int error = write_info(stdout, request, program, help_parts);
    if (error == 0) return 0;
    std::fprintf(stderr, "Error writing the %s: %s\n",
                 request == InfoRequest::version ? "version" : "help text",
                 system_error_text(error));
    end_message();
    return -1;
}

} // namespace quillmark
