// The file-system services for writing a file whole or not at all and for
// telling two names of one file apart: what a name leads to, a new file
// beside another, and the step that puts it in the other's place. Only the
// sources behind this header know the system they run on.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace quillmark {

// What a name (or an open stream) leads to, links followed. Two regular
// files or two folders are the same when their device and file numbers
// are (inode numbers on POSIX, the volume serial and file index on Windows).
enum class FileKind { none, regular, folder, other }; // other: a device, pipe, terminal
struct FileIdentity {
    FileKind kind = FileKind::none;
    std::uint64_t device = 0;
    std::uint64_t file = 0;
};

inline bool same_file(const FileIdentity& a, const FileIdentity& b) {
    return a.kind != FileKind::none && a.kind == b.kind && a.device == b.device && a.file == b.file;
}

// The identity of what `name` leads to; kind none when nothing is there or
// it cannot be looked at.
FileIdentity file_identity(const std::string& name);

// The identity of the file behind an open stream (standard input or
// output); kind none when the system does not tell.
FileIdentity stream_identity(std::FILE* stream);

// The name of the file that `name` leads to through symbolic links, so that
// a file put in its place replaces the file and keeps the link; `name`
// itself where it is no link or leads nowhere.
std::string link_target(const std::string& name);

// The folder part of a name ("." for a bare name) and the last part.
std::string folder_of(const std::string& name);
std::string last_part(const std::string& name);

// Creates a new, empty file in the folder of `target`, named after it and
// never over an existing file, open for writing bytes as they are; it takes
// the permissions of `target` where that exists. Yields the stream and sets
// `temporary` to the new file's name; nullptr (errno set) on failure.
std::FILE* create_file_beside(const std::string& target, std::string& temporary);

// Closes a stream made by create_file_beside after sending what it holds
// to the disk, so that the file is complete before it takes a name others
// read. False (errno set) when a write, the flush or the close failed.
bool close_durably(std::FILE* stream);

// Puts the file `temporary` in the place of `target` in one step: readers
// of `target` see the old file or the new one, never a part. False (errno
// set) on failure, both files then left as they were.
bool replace_file(const std::string& temporary, const std::string& target);

} // namespace quillmark
