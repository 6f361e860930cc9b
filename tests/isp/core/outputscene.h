// What a read-back may find at its output path (nothing, an old file, a
// link to one, a FIFO, a folder), made in a folder of its own, and a
// picture of that folder to tell what a call changed there.
#pragma once

#include "tests/file_text.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace outputscene {

enum class Kind { kAbsent, kOldFile, kLinkToOldFile, kFifo, kLinkToFifo, kFolder };

struct Case {
    const char* name;
    Kind kind;
};

// The output paths a read-back may write; those it must refuse.
inline const Case kWritable[] = {
    {"absent", Kind::kAbsent}, {"old file", Kind::kOldFile}, {"link to an old file", Kind::kLinkToOldFile}};
inline const Case kRefused[] = {
    {"FIFO", Kind::kFifo}, {"link to a FIFO", Kind::kLinkToFifo}, {"folder", Kind::kFolder}};

inline const char kOldContents[] = ":0100000000FF\n:00000001FF\n";

class Scene {
public:
    explicit Scene(Kind kind)
    {
        char tmpl[] = "/tmp/qzoutputXXXXXX";
        if (::mkdtemp(tmpl) == nullptr)
            return;
        dir_ = tmpl;
        path_ = dir_ + "/out.hex";
        const std::string target = dir_ + "/target";
        bool made = true;
        switch (kind) {
        case Kind::kAbsent:
            break;
        case Kind::kOldFile:
            made = write(path_);
            break;
        case Kind::kLinkToOldFile:
            made = write(target) && ::symlink("target", path_.c_str()) == 0;
            break;
        case Kind::kFifo:
            made = ::mkfifo(path_.c_str(), 0600) == 0;
            fifo_ = path_;
            break;
        case Kind::kLinkToFifo:
            made = ::mkfifo(target.c_str(), 0600) == 0 && ::symlink("target", path_.c_str()) == 0;
            fifo_ = target;
            break;
        case Kind::kFolder:
            made = ::mkdir(path_.c_str(), 0700) == 0;
            break;
        }
        ok_ = made;
    }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;
    ~Scene()
    {
        std::error_code ignored;
        if (!dir_.empty())
            std::filesystem::remove_all(dir_, ignored);
    }

    bool ok() const { return ok_; }
    const std::string& path() const { return path_; }

    // Each entry of the folder by name: its kind with a link's target or a
    // file's contents.
    std::map<std::string, std::string> picture() const
    {
        std::map<std::string, std::string> out;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(dir_, ec)) {
            const std::string name = e.path().filename().string();
            if (e.is_symlink())
                out[name] = "link to " + std::filesystem::read_symlink(e.path(), ec).string();
            else if (e.is_regular_file())
                out[name] = "file: " + file_text(e.path().string());
            else
                out[name] = "other";
        }
        return out;
    }

    // What reading the named path gives (through a link).
    std::string contents() const { return file_text(path_); }

    // Runs `call` on its own thread. Should it still run after a generous
    // wait, the FIFO gets a reader, so that a call blocked opening it goes
    // on; the reader stays until the call is over, so no write meets a
    // closed pipe.
    template <class Call>
    auto run(Call call) const -> decltype(call())
    {
        auto done = std::async(std::launch::async, call);
        int reader = -1;
        if (!fifo_.empty() && done.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
            reader = ::open(fifo_.c_str(), O_RDONLY | O_NONBLOCK);
        auto result = done.get();
        if (reader >= 0)
            ::close(reader);
        return result;
    }

private:
    static bool write(const std::string& path)
    {
        std::ofstream f(path, std::ios::binary);
        f << kOldContents;
        return bool(f);
    }

    std::string dir_;
    std::string path_;
    std::string fifo_;
    bool ok_ = false;
};

} // namespace outputscene
