// The simulated loader part seen from a plain host: the persona byte by
// byte, and once through the pty.
#include "tests/sim/loader/loader_persona.h"
#include "tests/sim/loader/loader_sim.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using sim::loader::LoaderConfig;
using sim::loader::LoaderPersona;
using sim::loader::Persona;

void feed(LoaderPersona& p, const std::vector<std::uint8_t>& bytes)
{
    for (std::uint8_t b : bytes)
        p.feed(b);
}

std::vector<std::uint8_t> programBlock(std::uint32_t address, std::uint16_t pieces, const std::vector<std::uint8_t>& data)
{
    std::uint32_t sum = 0;
    for (std::uint8_t v : data)
        sum += v;
    const std::uint32_t check = 0u - sum;
    std::vector<std::uint8_t> b(16, 0xFF);
    b[0] = 0x00;
    b[1] = static_cast<std::uint8_t>(pieces);
    b[2] = static_cast<std::uint8_t>(pieces >> 8);
    for (int i = 0; i < 4; ++i) {
        b[3 + i] = static_cast<std::uint8_t>(check >> (8 * i));
        b[7 + i] = static_cast<std::uint8_t>(address >> (8 * i));
    }
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

std::vector<std::uint8_t> eraseBlock(std::uint32_t address)
{
    std::vector<std::uint8_t> b(16, 0xFF);
    b[0] = 0x02;
    for (int i = 0; i < 4; ++i)
        b[1 + i] = static_cast<std::uint8_t>(address >> (8 * i));
    return b;
}

LoaderConfig smallConfig()
{
    LoaderConfig c;
    c.flashStart = 0x80000000;
    c.flashSize = 0x2000;
    c.eraseBlockSize = 0x1000;
    c.chunkSize = 4;
    return c;
}

TEST(LoaderPersona, BootDownloadFillsRamThenTheLoaderAnnouncesItself)
{
    LoaderPersona p(smallConfig());
    p.begin(Persona::BootRom);
    p.feed('?');
    EXPECT_EQ(p.takeOutput(), "OK\r\n");
    std::vector<std::uint8_t> header = {0xDA, 0x3F, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    feed(p, header);
    std::vector<std::uint8_t> image(1024);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i);
    feed(p, std::vector<std::uint8_t>(image.begin(), image.end() - 1));
    EXPECT_EQ(p.takeOutput(), "");
    p.feed(image.back());
    EXPECT_EQ(p.takeOutput(), "KELDMARVOS\r\n");
    EXPECT_EQ(p.persona(), Persona::Loader);
    EXPECT_EQ(p.lastBlockCount(), 2u);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), p.ram().begin()));
    p.feed('?');
    EXPECT_EQ(p.takeOutput(), "KELDMARVOS\r\n");
}

TEST(LoaderPersona, ProgrammingOnlyClearsBitsUntilErased)
{
    LoaderPersona p(smallConfig());
    p.begin(Persona::Loader);
    feed(p, programBlock(0x80000000, 2, {0x0F, 0xF0, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}));
    EXPECT_EQ(p.takeOutput(), "PROGOK\r\nPROGOK\r\nOK\r\n");
    feed(p, programBlock(0x80000000, 1, {0xF0, 0x0F, 0xFF, 0xFF}));
    EXPECT_EQ(p.takeOutput(), "PROGOK\r\nOK\r\n");
    EXPECT_EQ(p.flash().bytes()[0], 0x00); // a missed erase shows
    EXPECT_EQ(p.flash().bytes()[1], 0x00);
    EXPECT_GT(p.flash().conflicts(), 0u);
    feed(p, eraseBlock(0x80000000));
    EXPECT_EQ(p.takeOutput(), "OK\r\n");
    EXPECT_EQ(p.flash().bytes()[0], 0xFF);
    feed(p, eraseBlock(0x80000010)); // no block start
    EXPECT_EQ(p.takeOutput(), "ERROR\r\n");
}

TEST(LoaderPersona, WrongChecksumOrRangeIsRefusedUnwritten)
{
    LoaderPersona p(smallConfig());
    p.begin(Persona::Loader);
    std::vector<std::uint8_t> b = programBlock(0x80000000, 1, {1, 2, 3, 4});
    b[3] ^= 1;
    feed(p, b);
    EXPECT_EQ(p.takeOutput(), "PROGOK\r\nERROR\r\n");
    feed(p, programBlock(0x80001FFE, 1, {1, 2, 3, 4}));
    EXPECT_EQ(p.takeOutput(), "PROGOK\r\nERROR\r\n");
    EXPECT_EQ(p.flash().bytes()[0], 0xFF);
    EXPECT_EQ(p.flash().bytes()[0x1FFE], 0xFF);
}

TEST(LoaderPersona, FaultsShapeTheReplies)
{
    LoaderPersona p(smallConfig());
    p.begin(Persona::Loader);
    p.faults().errorReplies = 1;
    p.faults().dropLf = 1;
    feed(p, eraseBlock(0x80000000));
    EXPECT_EQ(p.takeOutput(), "ERROR\r");
    p.faults().endlessLines = 1;
    p.feed('?');
    const std::string endless = p.takeOutput();
    EXPECT_EQ(endless.size(), LoaderPersona::kEndlessLength);
    EXPECT_EQ(endless.find('\r'), std::string::npos);
    p.faults().mute = true;
    p.feed('?');
    EXPECT_EQ(p.takeOutput(), "");
}

TEST(LoaderPersona, FaultsHoldAReplyBackAndLoseBytesOfQueriesAndNames)
{
    LoaderPersona p(smallConfig());
    p.begin(Persona::Loader);
    p.faults().lateReplies = 1;
    feed(p, eraseBlock(0x80000000));
    EXPECT_EQ(p.takeOutput(), "");
    p.feed('?');
    EXPECT_EQ(p.takeOutput(), "KELDMARVOS\r\nOK\r\n");
    p.faults().lostQueries = 1;
    p.feed('?');
    EXPECT_EQ(p.takeOutput(), "");
    p.faults().spoiledNames = 1;
    p.feed('?');
    EXPECT_EQ(p.takeOutput(), "KELDMRVOS\r\n");
    p.feed('?');
    EXPECT_EQ(p.takeOutput(), "KELDMARVOS\r\n");
    EXPECT_EQ(p.queries(), 3); // the lost one never arrived
    p.faults().noisyReplies = 1;
    feed(p, eraseBlock(0x80000000));
    EXPECT_EQ(p.takeOutput(), "N#ISE\r\nOK\r\n");
    p.faults().lostReplies = 1;
    feed(p, eraseBlock(0x80000000));
    p.feed('?');
    EXPECT_EQ(p.takeOutput(), "KELDMARVOS\r\n");
}

TEST(LoaderSim, AnswersAQueryOverThePty)
{
    sim::LoaderSim s(smallConfig());
    ASSERT_TRUE(s.start(Persona::Loader));
    int fd = open(s.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    ASSERT_EQ(write(fd, "?", 1), 1);
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (got.size() < 12 && std::chrono::steady_clock::now() < end) {
        pollfd pfd{fd, POLLIN, 0};
        if (poll(&pfd, 1, 100) > 0) {
            char buf[64];
            ssize_t n = read(fd, buf, sizeof buf);
            if (n > 0)
                got.append(buf, static_cast<std::size_t>(n));
        }
    }
    close(fd);
    EXPECT_EQ(got, "KELDMARVOS\r\n");
    EXPECT_EQ(s.queries(), 1);
}

} // namespace
