#include "isp/core/outputfile.h"

#include "isp/core/ops_common.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qz {

namespace {

enum class Target { kFound, kRefused, kFailed };

constexpr int kNewFileMode = 0666; // less the umask, as for any new file
constexpr int kNameTries = 100;

// The regular file to be replaced (the named one, or a link's target) and
// the permissions it has; a name that does not exist yet is taken as is.
Target resolve(const char* path, std::string* target, int* mode)
{
    struct stat st;
    if (::lstat(path, &st) != 0) {
        if (errno != ENOENT)
            return Target::kFailed;
        *target = path;
        *mode = -1;
        return Target::kFound;
    }
    if (S_ISLNK(st.st_mode)) {
        // A dangling link names no file whose place could be taken.
        if (::stat(path, &st) != 0 || !S_ISREG(st.st_mode))
            return Target::kRefused;
        char* real = ::realpath(path, nullptr);
        if (real == nullptr)
            return Target::kFailed;
        *target = real;
        std::free(real);
    } else if (!S_ISREG(st.st_mode)) {
        return Target::kRefused;
    } else {
        *target = path;
    }
    // A file the caller may not write stays, as it would for a truncating open.
    if (::access(target->c_str(), W_OK) != 0)
        return Target::kRefused;
    *mode = static_cast<int>(st.st_mode & 0777);
    return Target::kFound;
}

std::string folder_of(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string unique_suffix()
{
    static std::atomic<unsigned> counter{0};
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    unsigned long long v = static_cast<unsigned long long>(now.tv_nsec) ^
                           (static_cast<unsigned long long>(::getpid()) << 32) ^
                           (static_cast<unsigned long long>(counter.fetch_add(1)) * 0x9E3779B97F4A7C15ull);
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string s;
    for (int i = 0; i < 10; ++i, v /= 36)
        s += digits[v % 36];
    return s;
}

} // namespace

OutputFile::~OutputFile() { discard(); }

bool OutputFile::open(const char* path)
{
    discard();
    if (path == nullptr || *path == '\0')
        return false;
    for (int i = 0; i < kFileTries; ++i) {
        std::string target;
        int mode = -1;
        const Target t = resolve(path, &target, &mode);
        if (t == Target::kRefused)
            return false;
        if (t == Target::kFound && create_beside(target, mode))
            return true;
    }
    return false;
}

bool OutputFile::create_beside(const std::string& target, int mode)
{
    const std::string folder = folder_of(target);
    for (int i = 0; i < kNameTries; ++i) {
        const std::string name = folder + ".qzout-" + unique_suffix();
        // Exclusive: never an existing file or a link planted under the name.
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                              mode < 0 ? kNewFileMode : 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        // A replaced file keeps its permissions.
        if (mode >= 0 && ::fchmod(fd, static_cast<mode_t>(mode)) != 0) {
            ::close(fd);
            ::unlink(name.c_str());
            return false;
        }
        f_ = ::fdopen(fd, "wb");
        if (f_ == nullptr) {
            ::close(fd);
            ::unlink(name.c_str());
            return false;
        }
        temp_ = name;
        target_ = target;
        return true;
    }
    return false;
}

bool OutputFile::write_line(const char* text, std::size_t length)
{
    return f_ != nullptr && length != 0 && std::fwrite(text, 1, length, f_) == length &&
           std::fputc('\n', f_) != EOF;
}

bool OutputFile::commit()
{
    if (f_ == nullptr)
        return false;
    const bool closed = std::fclose(f_) == 0;
    f_ = nullptr;
    if (!closed || ::rename(temp_.c_str(), target_.c_str()) != 0) {
        discard();
        return false;
    }
    temp_.clear();
    return true;
}

void OutputFile::discard()
{
    if (f_ != nullptr) {
        std::fclose(f_);
        f_ = nullptr;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

} // namespace qz
