#include "analyze/output_files.h"

#include <cctype>
#include <cerrno>

#include "platform/env.h"

namespace quillmark {

namespace {

bool same_name(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    if (!file_names_ignore_case()) return a == b;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// How an entry is found on the disk: the file it names, and the folder and
// last part of the name of the file it leads to.
struct Place {
    FileIdentity file;
    FileIdentity folder;
    std::string target;
    std::string last;
};

bool standard(const std::string& name) { return name == "-"; }

const char* shown(const std::string& name) {
    return standard(name) ? "standard output" : name.c_str();
}

} // namespace

OutputFiles::~OutputFiles() { close_all(); }

void OutputFiles::add_input(const std::string& role, const std::string& name) {
    Entry entry;
    entry.role = role;
    entry.name = name;
    entries_.push_back(std::move(entry));
}

std::size_t OutputFiles::add_output(const std::string& option, const std::string& name) {
    Entry entry;
    entry.output = true;
    entry.role = option;
    entry.name = name;
    entries_.push_back(std::move(entry));
    return entries_.size() - 1;
}

std::string OutputFiles::describe(const Entry& entry) const {
    if (!entry.output)
        return entry.role + (standard(entry.name) ? " on standard input" : " " + entry.name);
    if (entry.role.empty()) return "standard output";
    return entry.role + " " + entry.name;
}

bool OutputFiles::refuse_same(const Entry& later, const Entry& earlier) const {
    send_message("%s is the same file as %s: nothing read or written\n", describe(later).c_str(),
                 describe(earlier).c_str());
    return false;
}

bool OutputFiles::prepare() {
    std::vector<Place> places(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        Entry& entry = entries_[i];
        Place& place = places[i];
        if (standard(entry.name)) {
            place.file = stream_identity(entry.output ? stdout : stdin);
            continue;
        }
        place.file = file_identity(entry.name);
        place.target = link_target(entry.name);
        place.folder = file_identity(folder_of(place.target));
        place.last = last_part(place.target);
        entry.target = place.target;
    }
    for (std::size_t i = 0; i < entries_.size(); ++i)
        for (std::size_t j = 0; j < i; ++j) {
            const Entry& a = entries_[i];
            const Entry& b = entries_[j];
            if (!a.output && !b.output) continue; // two inputs may well be one file
            const Place& pa = places[i];
            const Place& pb = places[j];
            if (a.output && b.output && standard(a.name) && standard(b.name))
                return refuse_same(a, b); // standard output takes one output
            // A device, pipe or terminal is not replaced: several may go there.
            if (pa.file.kind == FileKind::other && pb.file.kind == FileKind::other) continue;
            if (same_file(pa.file, pb.file)) return refuse_same(a, b);
            if (standard(a.name) || standard(b.name)) continue;
            // Names of files not there yet: the same name in the same folder.
            const bool same_place =
                pa.folder.kind == FileKind::folder
                    ? same_file(pa.folder, pb.folder) && same_name(pa.last, pb.last)
                    : pa.target == pb.target;
            if (same_place) return refuse_same(a, b);
        }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        Entry& entry = entries_[i];
        if (!entry.output) continue;
        entry.direct = standard(entry.name) || places[i].file.kind == FileKind::other;
        if (standard(entry.name)) {
            entry.stream = stdout;
            continue;
        }
        errno = 0;
        if (places[i].file.kind == FileKind::folder) {
            errno = EISDIR;
        } else if (entry.direct) {
            entry.stream = std::fopen(entry.name.c_str(), "wb");
        } else {
            entry.stream = create_file_beside(entry.target, entry.temporary);
            if (!entry.stream) entry.temporary.clear();
        }
        if (!entry.stream) {
            const int error = failed_call_error(errno);
            close_all();
            send_message("Can't create %s: %s\n", entry.name.c_str(), system_error_text(error));
            return false;
        }
    }
    return true;
}

std::FILE* OutputFiles::stream(std::size_t output) { return entries_[output].stream; }

void OutputFiles::write(std::size_t output, const std::string& text) {
    Entry& entry = entries_[output];
    entry.started = true;
    if (entry.error != 0) return;
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), entry.stream) != text.size())
        entry.error = failed_call_error(errno);
}

void OutputFiles::check(std::size_t output) {
    Entry& entry = entries_[output];
    entry.started = true;
    if (entry.error == 0 && std::ferror(entry.stream)) entry.error = failed_call_error(errno);
}

bool OutputFiles::finish() {
    finished_ = true;
    bool failed = false;
    for (Entry& entry : entries_) {
        if (!entry.output || !entry.stream) continue;
        errno = 0;
        if (!entry.direct) {
            const bool closed = close_durably(entry.stream);
            if (!closed && entry.error == 0) entry.error = failed_call_error(errno);
        } else {
            if ((std::fflush(entry.stream) != 0 || std::ferror(entry.stream)) && entry.error == 0)
                entry.error = failed_call_error(errno);
            errno = 0;
            if (entry.stream != stdout && std::fclose(entry.stream) != 0 && entry.error == 0)
                entry.error = failed_call_error(errno);
            entry.done = entry.error == 0;
        }
        entry.stream = nullptr;
        if (entry.error != 0 && !failed) {
            send_message("Error writing %s: %s\n", shown(entry.name),
                         system_error_text(entry.error));
            failed = true;
        }
    }
    for (Entry& entry : entries_) {
        if (failed) break;
        if (!entry.output || entry.temporary.empty()) continue;
        if (!replace_file(entry.temporary, entry.target)) {
            send_message("Can't replace %s: %s\n", entry.name.c_str(),
                         system_error_text(failed_call_error(errno)));
            failed = true;
            break;
        }
        entry.temporary.clear();
        entry.done = true;
    }
    if (failed) {
        remove_temporaries();
        say_what_was_written();
    }
    return !failed;
}

void OutputFiles::abandon() {
    if (finished_) return;
    bool began = false;
    for (const Entry& entry : entries_) began = began || entry.started;
    close_all();
    if (began) say_what_was_written();
}

void OutputFiles::say_what_was_written() const {
    std::size_t outputs = 0;
    for (const Entry& entry : entries_) outputs += entry.output;
    if (outputs < 2) return; // the message names the one output already
    // A device or standard output that got part of its text is cut short;
    // a file that was not put in place is as it was.
    std::string lists[3];
    const char* headings[3] = {"Written: ", "Cut short: ", "Not written: "};
    for (const Entry& entry : entries_) {
        if (!entry.output) continue;
        const int list = entry.done ? 0 : entry.direct && entry.started ? 1 : 2;
        lists[list] += (lists[list].empty() ? "" : ", ") + std::string(shown(entry.name));
    }
    std::string line;
    for (int list = 0; list < 3; ++list)
        if (!lists[list].empty())
            line += (line.empty() ? "" : " ") + std::string(headings[list]) + lists[list] + ".";
    send_message("%s\n", line.c_str());
}

void OutputFiles::remove_temporaries() {
    for (Entry& entry : entries_) {
        if (entry.temporary.empty()) continue;
        if (entry.stream) std::fclose(entry.stream);
        entry.stream = nullptr;
        std::remove(entry.temporary.c_str());
        entry.temporary.clear();
    }
}

void OutputFiles::close_all() {
    remove_temporaries();
    for (Entry& entry : entries_) {
        if (entry.stream && entry.stream != stdout) std::fclose(entry.stream);
        entry.stream = nullptr;
    }
}

} // namespace quillmark
