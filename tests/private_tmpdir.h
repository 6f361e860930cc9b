// A temporary folder of a test's own, named in TMPDIR while the test runs:
// whatever the code under test writes into the temporary folder (the ISP
// library's diagnostic log, for one) lands there and goes with it.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

class PrivateTmpdir {
public:
    PrivateTmpdir() = default;
    PrivateTmpdir(const PrivateTmpdir&) = delete;
    PrivateTmpdir& operator=(const PrivateTmpdir&) = delete;
    ~PrivateTmpdir() { leave(); }

    // Makes a fresh folder from `pattern` (a path ending in XXXXXX) and names
    // it in TMPDIR. Before any thread that may read TMPDIR runs.
    bool enter(const char* pattern)
    {
        std::string name(pattern);
        if (!mkdtemp(name.data()))
            return false;
        path_ = name;
        const char* old = std::getenv("TMPDIR");
        hadOld_ = old != nullptr;
        old_ = old ? old : "";
        setenv("TMPDIR", path_.c_str(), 1);
        return true;
    }

    // TMPDIR as it was before enter(), the folder removed with all in it.
    // Once the threads that may read TMPDIR have ended.
    void leave()
    {
        if (path_.empty())
            return;
        if (hadOld_)
            setenv("TMPDIR", old_.c_str(), 1);
        else
            unsetenv("TMPDIR");
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
        path_.clear();
    }

    // The folder; empty before enter() and after leave().
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string old_;
    bool hadOld_ = false;
};
