#include "platform/program_info.h"

#include <cerrno>
#include <cstring>

#include "platform/env.h"
#include "quillmark/version.h"

namespace quillmark {

InfoRequest info_request(int argc, char** argv) {
    if (argc != 2) return InfoRequest::none;
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)
        return InfoRequest::help;
    if (std::strcmp(argv[1], "--version") == 0) return InfoRequest::version;
    return InfoRequest::none;
}

int write_info(std::FILE* out, InfoRequest request, const char* program,
               std::initializer_list<const char*> help_parts) {
    errno = 0;
    if (request == InfoRequest::version)
        std::fprintf(out, "%s %s\n", program, VERSION_TEXT);
    else
        for (const char* part : help_parts) std::fputs(part, out);
    if (std::fflush(out) != 0 || std::ferror(out)) return failed_call_error(errno);
    return 0;
}

int answer_info_request(InfoRequest request, const char* program,
                        std::initializer_list<const char*> help_parts) {
    const int error = write_info(stdout, request, program, help_parts);
    if (error == 0) return 0;
    send_message("Error writing the %s: %s\n",
                 request == InfoRequest::version ? "version" : "help text",
                 system_error_text(error));
    return -1;
}

} // namespace quillmark
