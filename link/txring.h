// The transmit queue of the serial port worker: a fixed 60-byte ring with
// two ever-growing 64-bit indices. Whole lines are admitted only while fewer
// than 26 bytes wait, so with lines of at most 27 bytes no waiting byte is
// ever overwritten.
//
// The GUI thread writes both indices (queueing and sending); the worker's
// loop thread only reads them to see whether bytes wait.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

class TxRing {
public:
    static constexpr std::size_t kSize = 60;
    // A line is admitted only while fewer bytes than this wait.
    static constexpr uint64_t kAdmitBelow = 26;
    constexpr TxRing() = default;
    TxRing(const TxRing&) = delete;
    TxRing& operator=(const TxRing&) = delete;

    // Queues all `size` bytes, or none when too many bytes wait already or
    // the line would overrun waiting bytes (only a line longer than 35 bytes
    // can). Returns whether the line was queued.
    bool admit(const char* data, std::size_t size);

    uint64_t waiting() const;
    bool hasWaiting() const { return waiting() > 0; }
    // The oldest waiting byte; only meaningful while hasWaiting().
    char front() const;
    // Marks the oldest waiting byte as handed to the port.
    void advance();
    // Forgets every waiting byte: the read index catches up with the write
    // index. Only the thread that queues and sends (the GUI thread) calls it;
    // the loop thread may look on meanwhile.
    void discardWaiting();
    // Forgets every waiting byte and starts both indices at zero again; only
    // while no other thread looks at the ring (the worker's construction).
    // Everywhere else, discardWaiting().
    void reset();

    uint64_t txWriteIndex() const { return writeIndex_.load(std::memory_order_acquire); }
    uint64_t txReadIndex() const { return readIndex_.load(std::memory_order_acquire); }

private:
    char bytes_[kSize] = {};
    std::atomic<uint64_t> writeIndex_{0}; // bytes ever queued
    std::atomic<uint64_t> readIndex_{0};  // bytes ever handed to the port
};

// The one process-wide ring of the serial port worker.
extern TxRing txRing;
