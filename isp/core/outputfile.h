// A file that the libraries write (read-back HEX files). It is written as
// a new file beside the one named and renamed over it only when whole, so
// a failed or cancelled run leaves the named file as it was and removes
// only what it made itself.
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
    // An uncommitted file is removed.
    ~OutputFile();

    // Creates the new file beside `path` (tried kFileTries times). False at
    // once when `path` exists and is no regular file nor a link to one
    // (a FIFO, device, folder or socket), and when nothing could be made.
    // A link is written through: its target is the file replaced.
    bool open(const char* path);
    bool is_open() const { return f_ != nullptr; }

    // `length` bytes and a line feed; false for an empty text or a failed write.
    bool write_line(const char* text, std::size_t length);

    // Closes the new file and puts it in place of the named one; false (the
    // new file removed, the named one untouched) when either step fails.
    bool commit();

private:
    bool create_beside(const std::string& target, int mode);
    void discard();

    std::string target_;
    std::string temp_;
    std::FILE* f_ = nullptr;
};

} // namespace qz
