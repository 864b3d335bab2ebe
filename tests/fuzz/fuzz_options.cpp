// Fuzz target: option parsing. The input is a list of options, one per line,
// applied in order as from the command line, with a few option files at hand
// in a working folder of the target's own: a good one, a nesting chain, a
// refused one, one whose name has capitals, and a folder. Every fatal exit
// (unknown option, invalid question, a file that can't be opened or read,
// nesting too deep) comes back here through the exit hook of the platform
// layer, must carry status -1, and leaves the key table within its limits.
// File names with a '/' are not tried: they would reach outside the folder
// (a device that never ends, standard input).
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "fuzz_check.h"
#include "keys/answer_keys.h"
#include "keys/options.h"
#include "platform/env.h"

using namespace quillmark;

namespace {

std::jmp_buf exit_jump;
int exit_status = 0;
std::vector<std::vector<char>> options; // outlive the jump back

[[noreturn]] void jump_back(int status) {
    exit_status = status;
    std::longjmp(exit_jump, 1);
}

char folder[] = "/tmp/quillmark-fuzz-options-XXXXXX";

const char* const option_files[][2] = {
    {"keys.opt", "keya:abcde\nalta:2+c\n\"keyb:ab x-\"\n# comment\n\ncols:x\n"},
    {"nest1.opt", "keyc:dcba\noptf:nest2.opt\n"},
    {"nest2.opt", "altc:1b\noptf:keys.opt\n"},
    {"bad.opt", "keyd:abc\nalta:99b\n"},
    {"Mixed.opt", "KEYD:Q Z P\n"},
};

void remove_folder() {
    for (const auto& file : option_files) unlink(file[0]);
    rmdir("dir.opt");
    if (chdir("/") == 0) rmdir(folder);
}

// The files open at this moment. The target is linked with fopen and fclose
// wrapped (ld --wrap), so every option file the code opens is seen here: a
// fatal exit leaves the files being read open (the process would have ended
// there), and they are closed after the jump back; a run that returns must
// have closed all of them.
std::FILE* open_files[8];
int open_count = 0;

void close_left_open();

} // namespace

extern "C" std::FILE* __real_fopen(const char* name, const char* mode);
extern "C" int __real_fclose(std::FILE* file);

extern "C" std::FILE* __wrap_fopen(const char* name, const char* mode) {
    std::FILE* file = __real_fopen(name, mode);
    if (file) {
        FUZZ_CHECK(open_count < 8);
        open_files[open_count++] = file;
    }
    return file;
}

extern "C" int __wrap_fclose(std::FILE* file) {
    for (int i = 0; i < open_count; ++i)
        if (open_files[i] == file) {
            open_files[i] = open_files[--open_count];
            break;
        }
    return __real_fclose(file);
}

namespace {

void close_left_open() {
    while (open_count > 0) __real_fclose(open_files[--open_count]);
}

void check_table() {
    FUZZ_CHECK(exam_first == 0 || exam_first == 1);
    for (const AnswerKey& entry : answer_keys) {
        std::size_t length = strnlen(entry.key_text, sizeof entry.key_text);
        FUZZ_CHECK(length <= static_cast<std::size_t>(MAX_QUESTIONS));
        for (std::size_t i = 0; i < length; ++i) FUZZ_CHECK(entry.key_text[i] != ' ');
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FUZZ_CHECK(mkdtemp(folder) != nullptr);
    FUZZ_CHECK(chdir(folder) == 0);
    for (const auto& file : option_files) {
        std::FILE* out = std::fopen(file[0], "w");
        FUZZ_CHECK(out != nullptr);
        std::fputs(file[1], out);
        std::fclose(out);
    }
    FUZZ_CHECK(mkdir("dir.opt", 0755) == 0);
    std::atexit(remove_folder);
    set_exit_hook(jump_back);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (std::memchr(data, '/', size)) return 0;
    std::memset(answer_keys, 0, sizeof answer_keys);
    exam_first = 0;
    option_file_depth = 0;
    options.clear();
    std::size_t start = 0;
    while (start <= size) {
        const void* feed = std::memchr(data + start, '\n', size - start);
        std::size_t end =
            feed ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(feed) - data) : size;
        options.emplace_back(data + start, data + end);
        options.back().push_back('\0'); // an argument ends at a zero byte
        start = end + 1;
    }

    if (setjmp(exit_jump) == 0) {
        for (std::vector<char>& option : options) FUZZ_CHECK(apply_option(option.data()) == 0);
        FUZZ_CHECK(option_file_depth == 0);
        FUZZ_CHECK(open_count == 0);
    } else {
        FUZZ_CHECK(exit_status == -1);
        close_left_open();
    }
    FUZZ_CHECK(option_file_depth >= 0 && option_file_depth <= 2);
    check_table();
    return 0;
}
