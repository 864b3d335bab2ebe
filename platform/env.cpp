// The parts of the platform layer that are the same on every system.
#include "platform/env.h"
#include "platform/env_system.h"

#include <cstdlib>
#include <cstring>

namespace quillmark {

std::time_t clock_seconds() { return std::time(nullptr); }

const char* system_error_text(int error_number) { return std::strerror(error_number); }

bool finish_line(LineBuffer& buffer, std::size_t end) {
    buffer.data[end] = '\0';
    buffer.length = std::strlen(buffer.data);
    buffer.error = 0;
    return true;
}

void format_local_time(std::time_t when, char* weekday, std::size_t weekday_size,
                       char* date, std::size_t date_size, char* time_of_day,
                       std::size_t time_size) {
    const std::tm local = to_local_time(when);
    std::strftime(weekday, weekday_size, "%a", &local);
    std::strftime(date, date_size, "%x", &local);
    std::strftime(time_of_day, time_size, "%X", &local);
}

void end_message() { std::fflush(stderr); }

namespace {
ExitHook exit_hook = nullptr;
} // namespace

void set_exit_hook(ExitHook hook) { exit_hook = hook; }

void end_process(int status) {
    if (exit_hook) exit_hook(status);
    std::exit(status);
}

} // namespace quillmark
