#include "isp/core/hexgenerator.h"

#include "platform/commandline.h"
#include "platform/pipe.h"
#include "platform/process.h"

#include <chrono>
#include <cstring>

namespace qz {

namespace {

constexpr std::size_t kPieceSize = 4096;

std::size_t fail(std::string* output)
{
    output->clear();
    return 0;
}

}  // namespace

std::size_t run_and_capture(const char* commandLine, std::string* output, std::size_t limit,
                            int timeoutMs)
{
    output->clear();
    std::vector<std::string> argv = platform::splitCommandLine(commandLine ? commandLine : "");
    if (argv.empty())
        return 0;

    platform::Pipe pipe;
    if (!pipe.open())
        return 0;
    platform::ProcessStdio stdio;
    stdio.out = pipe.writeEnd();
    stdio.err = pipe.writeEnd();
    platform::Process generator;
    if (!generator.start(argv, stdio))
        return 0;
    // Only the child holds the write end now: the pipe ends when it is done.
    pipe.closeWriteEnd();

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char piece[kPieceSize];
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return fail(output); // the Process kills and reaps it
        std::size_t got = 0;
        platform::PipeRead r = platform::pipeRead(pipe.readEnd(), piece, sizeof piece,
                                                  static_cast<int>(left.count()), &got);
        if (r == platform::PipeRead::End)
            break;
        if (r != platform::PipeRead::Data)
            return fail(output);
        if (output->size() + got > limit)
            return fail(output);
        // The output is loaded as zero-terminated text: a zero byte would
        // silently end it early.
        if (std::memchr(piece, '\0', got) != nullptr)
            return fail(output);
        output->append(piece, got);
    }

    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    platform::Process::Wait w = generator.wait(left.count() > 0 ? static_cast<int>(left.count()) : 0);
    if (w == platform::Process::Wait::Signalled || w == platform::Process::Wait::TimedOut)
        return fail(output);
    return output->size();
}

}  // namespace qz
