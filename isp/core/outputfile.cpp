#include "isp/core/outputfile.h"

#include "isp/core/ops_common.h"
#include "isp/core/replacefile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qz {

namespace {

constexpr mode_t kNewFileMode = 0666; // less the umask, as for any new file
constexpr mode_t kModeBits = 07777;

enum class Opened { kOpen, kRefused, kAgain };

// Opening a path that was looked at as a regular file (or as nothing);
// O_NONBLOCK and O_NOCTTY guard against it having changed since.
constexpr int kOpenFlags = O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;

bool write_all(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The blocks for `size` bytes, taken before the first byte is written, so
// that a full disk fails the commit with the old contents still in place.
bool reserve(int fd, off_t size, off_t oldSize)
{
    if (size == 0)
        return true;
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) == 0)
        return true;
    if (errno != EOPNOTSUPP && errno != ENOSYS) {
        // Blocks taken past the end before it failed are given back.
        (void)::ftruncate(fd, oldSize);
        return false;
    }
    // Without the keep-size form the file grows to `size` (the old bytes
    // stay); a failure puts its length back.
    if (size <= oldSize || ::posix_fallocate(fd, 0, size) == 0)
        return true;
    (void)::ftruncate(fd, oldSize);
    return false;
}

// A write past the file size limit stops midway; refused before the first byte.
bool within_size_limit(off_t size)
{
    struct rlimit lim;
    return ::getrlimit(RLIMIT_FSIZE, &lim) != 0 || lim.rlim_cur == RLIM_INFINITY ||
           static_cast<rlim_t>(size) <= lim.rlim_cur;
}

} // namespace

OutputFile::~OutputFile() { discard(); }

bool OutputFile::open(const char* path)
{
    discard();
    if (path == nullptr || *path == '\0')
        return false;
    for (int i = 0; i < kFileTries; ++i) {
        struct stat st;
        int fd = -1;
        bool created = false;
        if (::lstat(path, &st) != 0) {
            if (errno != ENOENT)
                continue;
            // Exclusive: never a file or a link that appeared meanwhile.
            fd = ::open(path, kOpenFlags | O_CREAT | O_EXCL | O_NOFOLLOW, kNewFileMode);
            if (fd < 0)
                continue;
            created = true;
        } else {
            // A link is written through, but only to a regular file.
            if (S_ISLNK(st.st_mode) && ::stat(path, &st) != 0)
                return false;
            if (!S_ISREG(st.st_mode))
                return false;
            fd = ::open(path, kOpenFlags);
            if (fd < 0) {
                if (errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY)
                    return false; // the caller may not write it
                continue;
            }
        }
        struct stat opened;
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            ::close(fd);
            if (created)
                continue; // not ours after all; nothing to remove
            return false;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        fd_ = fd;
        created_ = created;
        path_ = path;
        dev_ = opened.st_dev;
        ino_ = opened.st_ino;
        text_.clear();
        return true;
    }
    return false;
}

bool OutputFile::write_line(const char* text, std::size_t length)
{
    if (fd_ < 0 || text == nullptr || length == 0)
        return false;
    text_.append(text, length);
    text_ += '\n';
    return true;
}

bool OutputFile::commit()
{
    if (fd_ < 0)
        return false;
    // An old file is best left alone until the new one is whole; written in
    // place only where a new file could not keep what it has.
    if (!created_) {
        const Replaced r = replace_by_rename(fd_, path_, text_);
        if (r != Replaced::kNotKept) {
            discard();
            return r == Replaced::kDone;
        }
    }
    struct stat st;
    const off_t size = static_cast<off_t>(text_.size());
    if (!within_size_limit(size) || ::fstat(fd_, &st) != 0) {
        discard();
        return false;
    }
    if (!reserve(fd_, size, st.st_size) || !write_all(fd_, text_) || ::ftruncate(fd_, size) != 0) {
        discard();
        return false;
    }
    // A write by someone other than root drops the set-id bits; the file
    // keeps them where its owner may put them back.
    struct stat after;
    if (::fstat(fd_, &after) == 0 && (after.st_mode & kModeBits) != (st.st_mode & kModeBits))
        (void)::fchmod(fd_, st.st_mode & kModeBits);
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    created_ = false;
    text_.clear();
    text_.shrink_to_fit();
    return closed;
}

void OutputFile::discard()
{
    if (fd_ < 0)
        return;
    if (created_) {
        // Removed only while the name still is the file this run made.
        struct stat st;
        if (::lstat(path_.c_str(), &st) == 0 && static_cast<unsigned long long>(st.st_dev) == dev_ &&
            static_cast<unsigned long long>(st.st_ino) == ino_)
            ::unlink(path_.c_str());
    }
    ::close(fd_);
    fd_ = -1;
    created_ = false;
    text_.clear();
}

} // namespace qz
