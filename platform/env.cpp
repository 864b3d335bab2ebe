// The parts of the platform layer that are the same on every system.
#include "platform/env.h"
#include "platform/env_system.h"

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace quillmark {

std::time_t clock_seconds() { return std::time(nullptr); }

const char* system_error_text(int error_number) { return std::strerror(error_number); }

int failed_call_error(int error_number, int fallback_number) {
    if (error_number != 0) return error_number;
    return fallback_number != 0 ? fallback_number : EIO;
}

bool finish_line(LineBuffer& buffer, std::size_t end) {
    buffer.data[end] = '\0';
    buffer.length = std::strlen(buffer.data);
    buffer.error = 0;
    return true;
}

void format_local_time(std::time_t when, char* weekday, std::size_t weekday_size, char* date,
                       std::size_t date_size, char* time_of_day, std::size_t time_size) {
    const std::tm local = to_local_time(when);
    std::strftime(weekday, weekday_size, "%a", &local);
    std::strftime(date, date_size, "%x", &local);
    std::strftime(time_of_day, time_size, "%X", &local);
}

void end_message() { std::fflush(stderr); }

void send_message(const char* format, ...) {
    // Room for every message but one that echoes a very long option or file
    // name; such a message is formatted in memory of its own size.
    static char text[16384];
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (length >= 0 && static_cast<std::size_t>(length) < sizeof text) {
        std::fwrite(text, 1, static_cast<std::size_t>(length), stderr);
    } else if (length >= 0) {
        std::vector<char> long_text(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(long_text.data(), long_text.size(), format, again);
        std::fwrite(long_text.data(), 1, static_cast<std::size_t>(length), stderr);
    }
    va_end(again);
    end_message();
}

namespace {
ExitHook exit_hook = nullptr;
} // namespace

void set_exit_hook(ExitHook hook) { exit_hook = hook; }

void end_process(int status) {
    if (exit_hook) exit_hook(status);
    std::exit(status);
}

} // namespace quillmark
