// What each system's source of the platform layer gives the shared parts
// (env.cpp, file_system.cpp). Not for use outside the platform layer.
#pragma once

#include <cstddef>
#include <cstdio>
#include <ctime>
#include <string>

#include "platform/env.h"

namespace quillmark {

// The clock reading as local broken-down time.
std::tm to_local_time(std::time_t when);

// Ends a line read into the buffer after its first `end` characters: the
// terminator is set, the text's length taken up to its first zero byte and
// the error cleared. Yields true, the result of a line read.
bool finish_line(LineBuffer& buffer, std::size_t end);

// The running process's number, for names of its own.
unsigned long process_number();

// Creates the file `name`, which must not exist yet (errno EEXIST if it
// does), open for writing bytes as they are, with the permissions of
// `like` where that exists. nullptr (errno set) on failure.
std::FILE* create_new_file(const std::string& name, const std::string& like);

// Sends what the file behind a flushed stream holds to the disk; false
// (errno set) on failure.
bool send_to_disk(std::FILE* stream);

} // namespace quillmark
