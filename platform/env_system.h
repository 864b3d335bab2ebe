// What each system's source of the platform layer gives the shared part
// (env.cpp). Not for use outside the platform layer.
#pragma once

#include <cstddef>
#include <ctime>

#include "platform/env.h"

namespace quillmark {

// The clock reading as local broken-down time.
std::tm to_local_time(std::time_t when);

// Ends a line read into the buffer after its first `end` characters: the
// terminator is set, the text's length taken up to its first zero byte and
// the error cleared. Yields true, the result of a line read.
bool finish_line(LineBuffer& buffer, std::size_t end);

} // namespace quillmark
