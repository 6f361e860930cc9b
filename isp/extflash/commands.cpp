#include "isp/extflash/commands.h"

#include <cstring>

#include "isp/core/debuglog.h"
#include "isp/core/serialport.h"
#include "isp/extflash/owedreply.h"
#include "isp/extflash/reply.h"

namespace qz::ext {

namespace {

constexpr int kFailed = -18;

enum CommandOp : std::uint8_t { kOpProgram = 0x00, kOpEraseAll = 0x01, kOpEraseBlock = 0x02 };

void put_le(std::uint8_t* at, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

struct CommandBlock {
    std::uint8_t bytes[kCommandBlockSize];
    explicit CommandBlock(std::uint8_t op)
    {
        std::memset(bytes, 0xFF, sizeof bytes);
        bytes[0] = op;
    }
};

// The reply under one long time-out; a stale name on the way is passed
// over, as it answers no command. -1 when no reply came.
int reply_code_long()
{
    use_long_timeouts();
    std::int32_t readMs = 0;
    std::int32_t writeMs = 0;
    get_comm_timeouts(&readMs, &writeMs);
    const ReadDeadline deadline;
    int code = -1;
    for (std::int32_t left = deadline.remaining_ms(); left != 0; left = deadline.remaining_ms()) {
        set_comm_timeouts(left, writeMs);
        code = read_reply_code();
        if (!stale_line(code))
            break;
        debug_log(kLogDebug, "Loader name passed over");
        code = -1;
    }
    use_short_timeouts();
    return code;
}

int exchange(const CommandBlock& block, int wanted)
{
    switch (catch_up(block.bytes)) {
    case CatchUp::kBusy:
        return kFailed;
    case CatchUp::kAnswered:
        return 1;
    case CatchUp::kRefused:
        return kFailed;
    case CatchUp::kInStep:
        break;
    }
    if (!port_write(block.bytes, sizeof block.bytes)) {
        owe_reply(nullptr, 0);
        return kFailed;
    }
    const int code = reply_code_long();
    if (code == -1)
        owe_reply(block.bytes, wanted);
    else if (code == kReplyUnknown)
        owe_reply(nullptr, 0); // no reply of the loader's: its own may still come
    return code == wanted ? 1 : kFailed;
}

// A program exchange that broke off may leave the loader taking data or
// answering still.
int broken_program()
{
    owe_reply(nullptr, 0);
    return kFailed;
}

} // namespace

int loader_erase_all()
{
    return exchange(CommandBlock(kOpEraseAll), kReplyOk);
}

int loader_erase_block(std::uint32_t address)
{
    CommandBlock block(kOpEraseBlock);
    put_le(block.bytes + 1, address, 4);
    return exchange(block, kReplyOk);
}

int loader_program_block(std::uint32_t address, const std::uint8_t* data, std::size_t count, std::size_t pieceSize)
{
    if (data == nullptr || pieceSize == 0 || count == 0 || count % pieceSize != 0 || count / pieceSize > 0xFFFF)
        return kFailed;
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += data[i];
    CommandBlock block(kOpProgram);
    put_le(block.bytes + 1, static_cast<std::uint32_t>(count / pieceSize), 2);
    put_le(block.bytes + 3, 0u - sum, 4);
    put_le(block.bytes + 7, address, 4);
    if (catch_up(nullptr) != CatchUp::kInStep)
        return kFailed;
    if (!port_write(block.bytes, sizeof block.bytes))
        return broken_program();
    for (std::size_t at = 0; at < count; at += pieceSize) {
        if (!port_write(data + at, pieceSize) || reply_code_long() != kReplyProgOk)
            return broken_program();
    }
    const int code = reply_code_long();
    if (code == -1 || code == kReplyUnknown)
        return broken_program();
    return code == kReplyOk ? 1 : kFailed;
}

} // namespace qz::ext
