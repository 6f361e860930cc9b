#include "platform/tempfile.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

bool isWritableFolder(const char* path)
{
    struct stat st;
    return path && *path && stat(path, &st) == 0 && S_ISDIR(st.st_mode) &&
           access(path, W_OK | X_OK) == 0;
}

} // namespace

std::string tempDirectory()
{
    const char* env = std::getenv("TMPDIR");
    if (isWritableFolder(env))
        return env;
    if (isWritableFolder("/tmp"))
        return "/tmp";
    return std::string();
}

bool createTempFile(const std::string& dir, const std::string& prefix, std::string* path)
{
    if (dir.empty())
        return false;
    std::string pattern = dir;
    if (pattern.back() != '/')
        pattern += '/';
    pattern += prefix;
    pattern += "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0)
        return false;
    close(fd);
    if (path)
        *path = name.data();
    return true;
}

bool removeFile(const std::string& path)
{
    return !path.empty() && unlink(path.c_str()) == 0;
}

} // namespace platform
