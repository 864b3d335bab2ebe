// The platform layer: the system services whose form differs between POSIX
// and Windows. Everything else in quillmark uses only the standard library;
// only the sources behind this header know which system they run on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>

namespace quillmark {

// One reusable line buffer. It grows to hold the longest line read through
// it and is never shrunk, so a run reads every line into the same memory.
struct LineBuffer {
    char* data = nullptr;   // the line's text, ended by a zero byte
    std::size_t length = 0; // characters before that zero byte
    std::size_t capacity = 0;
    int error = 0; // system error number of a failed read, else 0
};

// Opens a file for reading as text; nullptr (and errno set) on failure.
// On Windows the C runtime turns each carriage return and line feed pair
// into a line feed as it reads.
std::FILE* open_text_file(const char* name);

// True where the file system finds a file whatever the case of the letters
// in its name (Windows): a name that cannot be opened as written cannot be
// opened in another spelling either.
bool file_names_ignore_case();

// True where reading a file opened with open_text_file leaves the carriage
// return of a carriage return and line feed pair in the text (POSIX): the
// line readers drop it. On Windows the C runtime has already turned the
// pair into a line feed, and a carriage return still before it is a
// character of the line.
bool text_reads_keep_carriage_returns();

// Reads the next whole line of a file opened with open_text_file, however
// long, into the buffer. The line feed and a carriage return directly
// before it are not part of the line; any other carriage return is; a zero
// byte ends the line's text (the rest of that line is dropped). Yields false
// at the end of the file or on a read error; buffer.error tells which
// (0 at the end, else the system's error number).
bool read_text_line(std::FILE* file, LineBuffer& buffer);

// The calendar clock in seconds.
std::time_t clock_seconds();

// Formats a clock reading as local time with the standard time formatter:
// the weekday with "%a", the date with "%x" and the time of day with "%X".
void format_local_time(std::time_t when, char* weekday, std::size_t weekday_size, char* date,
                       std::size_t date_size, char* time_of_day, std::size_t time_size);

// The system's text for an error number, as shown after a file name.
const char* system_error_text(int error_number);

// The error number of a failed call: the first of the given numbers that is
// not 0, else EIO, since a runtime need not set errno on every failure and
// a failure must never be reported with the text of "no error".
int failed_call_error(int error_number, int fallback_number = 0);

// The system clock as a file time: 100-nanosecond intervals since
// 1 January 1601, UTC.
std::uint64_t system_file_time();

// Prepares standard output and standard error for a run; called once,
// before anything is written to either. Both then carry exactly the bytes
// written to them on every system (no line-end translation on Windows), and
// standard error holds each message, up to 16384 characters, until
// end_message sends it in one write, so that messages never interleave
// with other output to the same place.
void begin_output();

// Sends what is held on standard error in one write. A message put
// together by a writer that takes a stream (a statistics line, a histogram)
// ends with it; every other message is sent with send_message.
void end_message();

#if defined(__MINGW32__)
#define QUILLMARK_PRINTF_FORMAT __attribute__((format(gnu_printf, 1, 2)))
#else
#define QUILLMARK_PRINTF_FORMAT __attribute__((format(printf, 1, 2)))
#endif

// Writes one message to standard error: the text is formatted whole, then
// sent in one write (with end_message), so that it never interleaves with
// other output to the same place.
void send_message(const char* format, ...) QUILLMARK_PRINTF_FORMAT;

// Ends the process with the given status; buffered output is written first.
[[noreturn]] void end_process(int status);

// A function that end_process calls first, for a test harness that runs the
// fatal paths in-process (the fuzz targets): it must not return, typically
// it jumps back into the harness. If it returns, the process ends as usual.
// Unset (nullptr) in the program, where end_process only ends the process.
using ExitHook = void (*)(int status);
void set_exit_hook(ExitHook hook);

} // namespace quillmark
