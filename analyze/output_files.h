// The files a run of quillmark-analyze reads and writes, kept safe
// together: every output is written whole or not at all, never over an
// input of the run, never two into one file. An input or output that a
// later option adds is registered here and gets the same guarantees.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace quillmark {

class OutputFiles {
public:
    OutputFiles() = default;
    OutputFiles(const OutputFiles&) = delete;
    OutputFiles& operator=(const OutputFiles&) = delete;
    // Removes every temporary file not yet put in place.
    ~OutputFiles();

    // An input of the run, `name` ("-": standard input), called `role` in
    // messages ("the report").
    void add_input(const std::string& role, const std::string& name);

    // An output of the run, `name` ("-": standard output), named by
    // `option` ("--json"; empty for the tables' default, standard output).
    // Yields the number that stream and write take.
    std::size_t add_output(const std::string& option, const std::string& name);

    // Called before anything is read. Refuses, with a message, an output
    // that is the same file as an input or another output (the same device
    // and file number, or the same name in the same folder; a device such as
    // /dev/null may take several) or a folder. Then readies every output: a
    // file gets a new temporary file beside it, which shows that its folder
    // takes new files; a device or pipe is opened as it is. False after a
    // message naming the file and the reason; nothing has been written then.
    bool prepare();

    // Where output `output` is written until finish.
    std::FILE* stream(std::size_t output);

    // Writes `text` to output `output`; a failure is kept for finish.
    void write(std::size_t output, const std::string& text);

    // Notes a failed write to the stream of `output` by another writer; to
    // be called after each piece that writer wrote.
    void check(std::size_t output);

    // Completes the run's outputs: when every one was written completely,
    // each temporary file takes its target's place, in the order added.
    // Otherwise, or when a replacement fails, the temporary files left are
    // removed and their targets left as they were, and the message names the
    // file, the reason and (with several outputs) which were written and
    // which not. False after such a failure.
    bool finish();

    // Gives the outputs up after a failure that the caller has reported: the
    // temporary files are removed, their targets left as they were; with
    // several outputs, when writing had begun, a line says which outputs
    // were written and which not. Does nothing after finish.
    void abandon();

private:
    struct Entry {
        bool output = false;
        std::string role;   // "the report", "--json", "" for the default output
        std::string name;   // as given; "-" for a standard stream
        std::string target; // the file a temporary replaces, links followed
        std::string temporary;
        std::FILE* stream = nullptr;
        bool direct = false; // standard output or a device, written in place
        bool started = false;
        bool done = false; // written completely and in place
        int error = 0;     // the first failure's error number
    };

    std::string describe(const Entry& entry) const;
    bool refuse_same(const Entry& later, const Entry& earlier) const;
    void say_what_was_written() const;
    void remove_temporaries();
    void close_all();

    std::vector<Entry> entries_;
    bool finished_ = false;
};

} // namespace quillmark
