#include "isp/core/replacefile.h"

#include "isp/core/ops_common.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace qz {

namespace {

constexpr mode_t kModeBits = 07777;
constexpr int kNewFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;

bool same_file(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The folder and name of the regular file `path` leads to, when that still
// is `old`.
bool resolve(const std::string& path, const struct stat& old, std::string& dir, std::string& name)
{
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr)
        return false;
    const std::string full(real);
    std::free(real);
    struct stat st;
    const std::size_t slash = full.rfind('/');
    if (slash == std::string::npos || ::lstat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        !same_file(st, old))
        return false;
    dir = slash == 0 ? "/" : full.substr(0, slash);
    name = full.substr(slash + 1);
    return true;
}

std::string new_name()
{
    unsigned int r = 0;
    if (::getrandom(&r, sizeof r, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof r))
        r = static_cast<unsigned int>(::getpid()) * 2654435761u ^ static_cast<unsigned int>(std::time(nullptr)) ^
            static_cast<unsigned int>(std::clock());
    char buf[32];
    std::snprintf(buf, sizeof buf, ".qz-readback-%08x", r);
    return buf;
}

bool write_all(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = EIO;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Out of room, the file itself may still take the text: its own blocks are
// reused and reserved before it is touched. Any other fault would hit the
// file itself as well.
Replaced store_failed()
{
    return errno == ENOSPC || errno == EDQUOT ? Replaced::kNotKept : Replaced::kFailed;
}

// Fills the new file `fd` (`temp` in `dir`), gives it what the old file has,
// and renames it over `name`.
Replaced put(int fd, int dir, const std::string& temp, const std::string& name, const struct stat& old,
             const std::string& text)
{
    // Written first: a write by someone other than root drops set-id bits.
    if (!write_all(fd, text))
        return store_failed();
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return Replaced::kNotKept;
    if ((st.st_uid != old.st_uid || st.st_gid != old.st_gid) && ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return Replaced::kNotKept;
    if (::fchmod(fd, old.st_mode & kModeBits) != 0)
        return Replaced::kNotKept;
    // The kernel drops set-id bits it will not give this caller.
    if (::fstat(fd, &st) != 0 || st.st_uid != old.st_uid || st.st_gid != old.st_gid ||
        (st.st_mode & kModeBits) != (old.st_mode & kModeBits))
        return Replaced::kNotKept;
    if (::fsync(fd) != 0)
        return store_failed();
    struct stat now;
    if (::fstatat(dir, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 || !same_file(now, old))
        return Replaced::kNotKept;
    // Refused in a sticky folder for someone else's file, or on a mount point.
    if (::renameat(dir, temp.c_str(), dir, name.c_str()) != 0)
        return Replaced::kNotKept;
    (void)::fsync(dir);
    return Replaced::kDone;
}

} // namespace

Replaced replace_by_rename(int oldFd, const std::string& path, const std::string& text)
{
    struct stat old;
    if (::fstat(oldFd, &old) != 0 || !S_ISREG(old.st_mode) || old.st_nlink != 1)
        return Replaced::kNotKept;
    // Extended attributes (access lists among them) stay with the old file.
    const ssize_t attrs = ::flistxattr(oldFd, nullptr, 0);
    if (attrs > 0 || (attrs < 0 && errno != ENOTSUP))
        return Replaced::kNotKept;
    std::string dirPath;
    std::string name;
    if (!resolve(path, old, dirPath, name))
        return Replaced::kNotKept;
    const int dir = ::open(dirPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return Replaced::kNotKept;
    std::string temp;
    int fd = -1;
    for (int i = 0; i < kFileTries && fd < 0; ++i) {
        temp = new_name();
        fd = ::openat(dir, temp.c_str(), kNewFlags, 0600);
        if (fd < 0 && errno != EEXIST)
            break; // a folder the caller cannot write
    }
    if (fd < 0) {
        ::close(dir);
        return Replaced::kNotKept;
    }
    const Replaced result = put(fd, dir, temp, name, old, text);
    if (result != Replaced::kDone) {
        // Removed only while the name still is the file made here.
        struct stat made;
        struct stat named;
        if (::fstat(fd, &made) == 0 && ::fstatat(dir, temp.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            same_file(made, named))
            ::unlinkat(dir, temp.c_str(), 0);
    }
    ::close(fd);
    ::close(dir);
    return result;
}

} // namespace qz
