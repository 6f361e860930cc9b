#include "link/consolelog.h"

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

namespace {

std::mutex& sinkMutex()
{
    static std::mutex m;
    return m;
}

std::shared_ptr<ConsoleSink>& sinkSlot()
{
    static std::shared_ptr<ConsoleSink> sink;
    return sink;
}

} // namespace

void setConsoleSink(ConsoleSink sink)
{
    std::shared_ptr<ConsoleSink> next;
    if (sink)
        next = std::make_shared<ConsoleSink>(std::move(sink));
    std::lock_guard<std::mutex> lock(sinkMutex());
    sinkSlot() = std::move(next);
}

void consolePrintf(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    va_list again;
    va_copy(again, args);
    int size = std::vsnprintf(nullptr, 0, fmt, args);
    va_end(args);
    if (size < 0) {
        va_end(again);
        return;
    }
    std::vector<char> text(static_cast<std::size_t>(size) + 1);
    std::vsnprintf(text.data(), text.size(), fmt, again);
    va_end(again);

    std::fwrite(text.data(), 1, static_cast<std::size_t>(size), stderr);
    std::fflush(stderr);

    std::shared_ptr<ConsoleSink> sink;
    {
        std::lock_guard<std::mutex> lock(sinkMutex());
        sink = sinkSlot();
    }
    // Called outside the lock, so a sink may itself print or replace the sink.
    if (sink)
        (*sink)(QString::fromLocal8Bit(text.data(), size));
}
