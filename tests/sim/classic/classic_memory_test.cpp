#include "tests/sim/classic/classic_sim.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace sim {
namespace {

TEST(ClassicFlash, ProgrammingOnlyMovesBitsAwayFromTheErasedValue)
{
    ClassicLayout ones;
    ones.flashSize = 0x100;
    ClassicFlash a(ones);
    a.program(0x10, 0xF0);
    a.program(0x10, 0x3C);
    EXPECT_EQ(a.at(0x10), 0x30);
    EXPECT_FALSE(a.program(0x100, 0));

    ClassicLayout zeros = ones;
    zeros.erased = 0x00;
    ClassicFlash b(zeros);
    b.program(0x10, 0xF0);
    b.program(0x10, 0x0C);
    EXPECT_EQ(b.at(0x10), 0xFC);
    EXPECT_TRUE(b.blank(0x11));
}

TEST(ClassicFlash, ErasesBlocksAndPagesAndCountsTheBootLoadersArea)
{
    // The 89LPC922's layout: 8 blocks of 1 KB, 64-byte pages, the loader in
    // pages 120 to 127.
    ClassicLayout l;
    l.flashSize = 0x2000;
    l.erased = 0x00;
    l.blocks = classic_family_blocks(4, 8);
    l.pageSize = 64;
    l.guardStart = 120 * 64;
    l.guardEnd = 0x2000;
    ClassicFlash f(l);
    ASSERT_EQ(f.blockCount(), 8);
    f.program(0x0400, 0x55);
    f.program(0x07FF, 0x55);
    f.program(0x1C40, 0x55);
    EXPECT_EQ(f.guardHits(), 0);
    f.eraseBlock(1);
    EXPECT_TRUE(f.blank(0x0400));
    EXPECT_TRUE(f.blank(0x07FF));
    f.erasePage(0x1C7F);
    EXPECT_TRUE(f.blank(0x1C40));
    EXPECT_EQ(f.guardHits(), 0);
    f.erasePage(120 * 64);
    EXPECT_EQ(f.guardHits(), 1);
    f.eraseBlock(7);
    EXPECT_EQ(f.guardHits(), 2);
    EXPECT_EQ(f.erasures(), (std::vector<std::string>{"block 1", "page 113", "page 120", "block 7"}));
}

// The program's end of the line, raw at 9600.
class Line {
public:
    explicit Line(const std::string& path)
    {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
        tcsetattr(fd_, TCSANOW, &t);
    }
    ~Line()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    // Sends `s` and returns what follows its echo, `count` characters.
    std::string ask(const std::string& s, std::size_t count, int timeoutMs = 2000)
    {
        if (::write(fd_, s.data(), s.size()) != static_cast<ssize_t>(s.size()))
            return "write failed";
        std::string got;
        const std::size_t want = s.size() + count;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < want) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now()).count();
            pollfd p{fd_, POLLIN, 0};
            if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0)
                break;
            char b[256];
            const ssize_t n = ::read(fd_, b, std::min(sizeof b, want - got.size()));
            if (n <= 0)
                break;
            got.append(b, static_cast<std::size_t>(n));
        }
        return got.size() >= s.size() ? got.substr(s.size()) : "short:" + got;
    }

private:
    int fd_ = -1;
};

TEST(ClassicPart, DialectOneSettingsPasswordAndReset)
{
    ClassicPersona p;
    p.layout.flashSize = 0x10000;
    p.layout.blocks = classic_family_blocks(0);
    p.settings.bootVector = 0xFC;
    p.settings.statusByte = 0xFF;
    p.runAfterReset = true;
    ClassicSim part(p);
    ASSERT_TRUE(part.start());
    Line line(part.slavePath());
    ASSERT_EQ(line.ask("U", 0), "");
    EXPECT_EQ(line.ask(":01002000558A", 3), ".\r\n");
    EXPECT_EQ(line.ask(":020000030120DA", 3), ".\r\n"); // erase block 1 (0x2000)
    EXPECT_TRUE(part.flash().blank(0x2000));
    EXPECT_EQ(line.ask(":020000030400F7", 3), ".\r\n"); // erase boot vector and status byte
    EXPECT_EQ(line.ask(":030000030601559E", 3), ".\r\n"); // boot vector 0x55
    EXPECT_EQ(line.ask(":020000050702F0", 5), "55.\r\n");
    EXPECT_EQ(line.ask(":020000050701F1", 5), "00.\r\n");
    EXPECT_EQ(line.ask(":020000030502F4", 3), ".\r\n"); // security bit 2
    EXPECT_EQ(part.settings().security, 0x04);
    EXPECT_EQ(line.ask(":0100000307F5", 3), ".\r\n"); // erase all
    EXPECT_EQ(part.settings().security, 0x00);

    // A set password locks the part at its next start until verified.
    EXPECT_EQ(line.ask(":020000091234AF", 3), ".\r\n");
    EXPECT_EQ(line.ask(":0000000BF5", 1), ".");
    EXPECT_EQ(part.resets(), 1);
    EXPECT_EQ(part.lastResetMethod(), 1);
    EXPECT_EQ(line.ask(":0100000011EE", 1, 200), "short:"); // a running part echoes nothing
    part.reset();
    ASSERT_EQ(line.ask("U", 0), "");
    EXPECT_EQ(line.ask(":0100000011EE", 3), "P\r\n");
    EXPECT_EQ(line.ask(":020000081235AF", 3), "P\r\n");
    EXPECT_EQ(line.ask(":020000081234B0", 3), ".\r\n");
    EXPECT_EQ(line.ask(":0100000011EE", 3), ".\r\n");
    EXPECT_EQ(line.ask(":00000007F9", 3), ".\r\n"); // reset password
    EXPECT_TRUE(part.settings().password.empty());
}

TEST(ClassicPart, DialectTwoSectorSecurityAndErases)
{
    ClassicPersona p;
    p.dialect = 2;
    p.queryType = 0x03;
    p.writeType = 0x02;
    p.baudType = 0x07;
    p.oscType = 0x00;
    p.eraseAllCode = 0x08;
    p.securityBase = 0x08;
    p.layout.flashSize = 0x2000;
    p.layout.erased = 0x00;
    p.layout.blocks = classic_family_blocks(4, 8);
    p.layout.pageSize = 64;
    ClassicSim part(p);
    ASSERT_TRUE(part.start());
    Line line(part.slavePath());
    ASSERT_EQ(line.ask("U", 0), "");
    EXPECT_EQ(line.ask(":020004000102F7", 3), ".\r\n");
    EXPECT_EQ(line.ask(":03000004010400F4", 3), ".\r\n"); // sector 1
    EXPECT_TRUE(part.flash().blank(0x0400));
    EXPECT_EQ(line.ask(":020000020904EF", 3), ".\r\n"); // block 1 erase-disable
    EXPECT_EQ(line.ask(":0100000309F3", 5), "04.\r\n");
    EXPECT_EQ(line.ask(":03000004010400F4", 3), "S\r\n");
    EXPECT_EQ(line.ask(":03000004000440B5", 3), "S\r\n"); // page in block 1
    EXPECT_EQ(line.ask(":020000020302F7", 3), ".\r\n"); // additional security
    EXPECT_EQ(line.ask(":0100000303F9", 5), "02.\r\n");
    EXPECT_EQ(line.ask(":00000008F8", 3), ".\r\n"); // erase all clears the sector flags
    EXPECT_EQ(line.ask(":0100000309F3", 5), "00.\r\n");
    EXPECT_EQ(line.ask(":01002000558A", 3), ".\r\n");
    EXPECT_EQ(part.flash().at(0x20), 0x55);
    EXPECT_EQ(line.ask(":01200000558A", 5), "R\r\n\r\n"); // outside the flash
}

} // namespace
} // namespace sim
