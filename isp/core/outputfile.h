// A file that the libraries write (read-back HEX files). What is written
// is held until the result is whole. It then goes to a new file renamed
// over the old one where that keeps the old one's owner, group, mode bits
// and single link; elsewhere (hard links, a folder the caller cannot
// write, an owner the caller cannot give) into the named file itself, the
// room taken first. A failed or cancelled run leaves the named file as it
// was; a file that did not exist is made at open and removed again unless
// committed.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace qz {

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Uncommitted: a file made by open is removed, an existing one untouched.
    ~OutputFile();

    // Opens the named file for writing without changing it, or makes it when
    // no such name exists (tried kFileTries times). False at once when
    // `path` is no regular file nor a link to one (a FIFO, device, folder,
    // socket, dangling link), and when the file cannot be written. A link is
    // written through: its target is the file written.
    bool open(const char* path);
    bool is_open() const { return fd_ >= 0; }

    // `length` bytes and a line feed; false for an empty text or no file.
    bool write_line(const char* text, std::size_t length);

    // Puts the whole text in place of the file's contents; false (the file
    // as it was) when the room is not there, the text exceeds the file size
    // limit, or a step fails before the file itself is written.
    bool commit();

private:
    void discard();

    int fd_ = -1;
    bool created_ = false; // made by open: removed unless committed
    std::string path_;
    unsigned long long dev_ = 0;
    unsigned long long ino_ = 0;
    std::string text_;
};

} // namespace qz
