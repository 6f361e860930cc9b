#include "isp/core/jitmodule.h"

#include "isp/core/regularfile.h"

#include "isp/core/result.h"
#include "platform/process.h"
#include "platform/tempfile.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qz {

namespace {

constexpr int kOpenTries = 5;

// The three temporary files of one run; whatever is still listed is removed
// when the run ends.
struct JitFiles {
    std::string command;
    std::string data;
    std::string message;
    bool keepData = false;

    ~JitFiles()
    {
        platform::removeFile(command);
        platform::removeFile(message);
        if (!keepData)
            platform::removeFile(data);
    }
};

bool is_blank(char c)
{
    // A word never spans a line of the command file.
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The command file was made empty by this run; whatever else the name
// may have come to stand for in between (a link, a device) is not written.
std::FILE* open_own_temp_file(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    std::FILE* f = nullptr;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        f = ::fdopen(fd, "wb");
    if (f == nullptr)
        ::close(fd);
    return f;
}

bool write_command_file(const JitFiles& files, const char* arguments)
{
    std::FILE* f = nullptr;
    for (int i = 0; i < kOpenTries && !f; ++i)
        f = open_own_temp_file(files.command);
    if (!f)
        return false;
    std::string text = files.data + "\n" + files.message + "\n";
    const char* p = arguments ? arguments : "";
    while (*p) {
        while (*p && is_blank(*p))
            ++p;
        const char* start = p;
        while (*p && !is_blank(*p))
            ++p;
        if (p > start) {
            text.append(start, p);
            text += '\n';
        }
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok;
}

std::string read_message(const std::string& path, std::size_t messageSize)
{
    if (messageSize == 0)
        return std::string();
    std::FILE* f = nullptr;
    for (int i = 0; i < kOpenTries && !f; ++i)
        f = open_regular_file(path.c_str());
    if (!f)
        return std::string();
    std::string line;
    int c;
    while (line.size() < messageSize - 1 && (c = std::fgetc(f)) != EOF && c != '\n')
        line += static_cast<char>(c);
    std::fclose(f);
    while (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

int fail(std::string* errorText, const char* text)
{
    if (errorText)
        *errorText = text;
    return -1;
}

}  // namespace

int run_jit_module(const char* modulePath, const char* arguments, std::string* dataPath,
                   std::string* message, std::size_t messageSize, int timeoutSeconds,
                   std::string* errorText)
{
    if (message)
        message->clear();
    if (dataPath)
        dataPath->clear();

    const std::string dir = platform::tempDirectory();
    if (dir.empty())
        return fail(errorText, "Failed to get temporary path");

    JitFiles files;
    if (!platform::createTempFile(dir, "jit", &files.command) ||
        !platform::createTempFile(dir, "jit", &files.data) ||
        !platform::createTempFile(dir, "jit", &files.message))
        return fail(errorText, "Failed to get temporary filename");

    if (!write_command_file(files, arguments))
        return fail(errorText, "Failed to create command file");

    platform::Process module;
    if (!module.start({modulePath ? modulePath : "", files.command}, platform::ProcessStdio()))
        return fail(errorText, "Failed to start JIT Module");

    long long limitMs = static_cast<long long>(timeoutSeconds < 0 ? 0 : timeoutSeconds) * 1000;
    switch (module.wait(limitMs > INT_MAX ? INT_MAX : static_cast<int>(limitMs))) {
    case platform::Process::Wait::TimedOut:
        module.kill();
        return fail(errorText, "Timed out waiting for JIT Module to complete");
    case platform::Process::Wait::Failed:
        return fail(errorText, "Failed to wait for JIT Module");
    case platform::Process::Wait::Signalled:
        return fail(errorText, "Failed to get exit code from JIT Module");
    case platform::Process::Wait::Exited:
        break;
    }

    std::string text = read_message(files.message, messageSize);
    if (message)
        *message = text;

    if (module.exitCode() != 1)
        return fail(errorText, "JIT Module encountered error during execution");

    files.keepData = true;
    if (dataPath)
        *dataPath = files.data;
    if (errorText)
        errorText->clear();
    return 1;
}

int report_jit_message(ProgressCallback cb, int user, const std::string& message)
{
    if (!cb || message.empty())
        return 1;
    IspResult* r = isp_result();
    char saved[QZ_RESULT_TEXT_SIZE];
    std::memcpy(saved, r->text, sizeof saved);

    std::size_t n = strnlen(message.c_str(), sizeof r->text - 1);
    std::memcpy(r->text, message.data(), n);
    r->text[n] = '\0';
    int answer = cb(QZ_EVENT_JIT_MESSAGE, static_cast<int>(n), 0, user);

    std::memcpy(r->text, saved, sizeof saved);
    return answer;
}

}  // namespace qz
