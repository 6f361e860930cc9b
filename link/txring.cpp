#include "link/txring.h"

TxRing txRing;

bool TxRing::admit(const char* data, std::size_t size)
{
    uint64_t write = writeIndex_.load(std::memory_order_relaxed);
    uint64_t queued = write - readIndex_.load(std::memory_order_acquire);
    if (queued >= kAdmitBelow || queued + size > kSize)
        return false;
    for (std::size_t i = 0; i < size; ++i)
        bytes_[(write + i) % kSize] = data[i];
    // Published after the bytes, so a reader never sees an index ahead of them.
    writeIndex_.store(write + size, std::memory_order_release);
    return true;
}

uint64_t TxRing::waiting() const
{
    uint64_t write = writeIndex_.load(std::memory_order_acquire);
    uint64_t read = readIndex_.load(std::memory_order_acquire);
    return write > read ? write - read : 0;
}

char TxRing::front() const
{
    return bytes_[readIndex_.load(std::memory_order_acquire) % kSize];
}

void TxRing::advance()
{
    if (hasWaiting())
        readIndex_.fetch_add(1, std::memory_order_acq_rel);
}

void TxRing::discardWaiting()
{
    readIndex_.store(writeIndex_.load(std::memory_order_acquire), std::memory_order_release);
}

void TxRing::reset()
{
    readIndex_.store(0, std::memory_order_release);
    writeIndex_.store(0, std::memory_order_release);
}
