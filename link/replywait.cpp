#include "link/replywait.h"

#include <atomic>

namespace {
std::atomic<ReplyWait*> installed{nullptr};
}

void installReplyWait(ReplyWait* wait)
{
    installed.store(wait, std::memory_order_release);
}

void awaitReply(QSerialPort& port, const QByteArray& request)
{
    if (ReplyWait* wait = installed.load(std::memory_order_acquire))
        wait->requestWritten(port, request);
}
