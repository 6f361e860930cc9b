// The simulated boot ROM seen from a plain host on the pty's other end.
#include "tests/sim/lpc/lpc_sim.h"
#include "tests/sim/lpc/uu.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using sim::LpcSim;
using sim::lpc::RomState;

speed_t speedOf(unsigned baud)
{
    switch (baud) {
    case 9600: return B9600;
    case 115200: return B115200;
    default: return B9600;
    }
}

// The program's side of the line, raw 8N1.
class Host {
public:
    Host(const std::string& path, unsigned baud = 9600)
    {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        setBaud(baud);
    }
    ~Host()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    void setBaud(unsigned baud)
    {
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        cfsetispeed(&t, speedOf(baud));
        cfsetospeed(&t, speedOf(baud));
        tcsetattr(fd_, TCSANOW, &t);
    }
    void send(const std::string& s) { ASSERT_EQ(write(fd_, s.data(), s.size()), static_cast<ssize_t>(s.size())); }
    // Reads until `count` bytes came or the hang guard ran out.
    std::string read(std::size_t count, int guardMs = 5000)
    {
        std::string out;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(guardMs);
        while (out.size() < count) {
            int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                            end - std::chrono::steady_clock::now())
                                            .count());
            pollfd p{fd_, POLLIN, 0};
            if (left <= 0 || poll(&p, 1, left) <= 0)
                break;
            char buf[4096];
            ssize_t n = ::read(fd_, buf, std::min(sizeof buf, count - out.size()));
            if (n <= 0)
                break;
            out.append(buf, static_cast<std::size_t>(n));
        }
        return out;
    }
    // Whatever arrives within ms (for "nothing is answered").
    std::string quiet(int ms) { return read(1 << 20, ms); }
    std::string talk(const std::string& line, std::size_t replyBytes)
    {
        send(line);
        return read(replyBytes);
    }
    std::string expect(const std::string& line, const std::string& reply)
    {
        return talk(line, reply.size());
    }

private:
    int fd_ = -1;
};

void synchronize(Host& host, bool crlf)
{
    const std::string nl = crlf ? "\r\n" : "\r";
    ASSERT_EQ(host.expect("?", "Synchronized\r\n"), "Synchronized\r\n");
    ASSERT_EQ(host.expect("Synchronized" + nl, "Synchronized\rOK\r\n"), "Synchronized\rOK\r\n");
    ASSERT_EQ(host.expect("12000" + nl, "12000" + nl + "OK\r\n"), "12000" + nl + "OK\r\n");
}

// Sends a command with echo on and returns the reply after the echo.
std::string command(Host& host, const std::string& line, bool crlf, std::size_t replyBytes)
{
    const std::string sent = line + (crlf ? "\r\n" : "\r");
    std::string got = host.talk(sent, sent.size() + replyBytes);
    EXPECT_EQ(got.substr(0, sent.size()), sent);
    return got.size() > sent.size() ? got.substr(sent.size()) : std::string();
}

std::string uuBlock(const std::vector<std::uint8_t>& data, std::uint32_t* sum)
{
    std::string lines;
    *sum = 0;
    for (std::size_t i = 0; i < data.size(); i += 45) {
        std::size_t n = std::min<std::size_t>(45, data.size() - i);
        lines += sim::lpc::uu::encodeLine(data.data() + i, n) + "\r";
        for (std::size_t k = 0; k < n; ++k)
            *sum += data[i + k];
    }
    return lines;
}

std::vector<std::uint8_t> pattern(std::size_t n, unsigned seed)
{
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::uint8_t>((i * 7 + seed) ^ (i >> 3));
    return v;
}

TEST(LpcSimHandshake, CrPartAnswersLikeTheRom)
{
    LpcSim sim(sim::lpc::lpc11c24());
    ASSERT_TRUE(sim.start());
    Host host(sim.slavePath());
    ASSERT_TRUE(host.ok());
    host.send("hello\r");
    EXPECT_EQ(host.quiet(100), ""); // bytes other than '?' are ignored before autobaud
    synchronize(host, false);
    EXPECT_EQ(sim.oscillatorKHz(), 12000u);
    EXPECT_EQ(sim.baud(), 9600u);
    const std::string id = "0\r\n" + std::to_string(0x1430102Bu) + "\r\n";
    EXPECT_EQ(command(host, "J", false, id.size()), id);
    EXPECT_EQ(command(host, "K", false, 9), "0\r\n1\r\n7\r\n");
    EXPECT_EQ(command(host, "X 1", false, 3), "1\r\n");
    EXPECT_EQ(command(host, "U 1234", false, 4), "16\r\n");
    // ESC drops a half-sent line; the next command is unaffected.
    host.send("J 1 2\x1b");
    EXPECT_EQ(host.read(5), "J 1 2");
    EXPECT_EQ(command(host, "U 23130", false, 3), "0\r\n");
    // Echo off: only the replies come.
    EXPECT_EQ(command(host, "A 0", false, 3), "0\r\n");
    EXPECT_EQ(host.expect("A 1\r", "0\r\n"), "0\r\n");
    EXPECT_TRUE(sim.echo());
    EXPECT_EQ(sim.commands(), (std::vector<std::string>{"J", "K", "X 1", "U 1234", "U 23130", "A 0", "A 1"}));
    EXPECT_GT(sim.bytesReceived(), 0u);
    EXPECT_GT(sim.bytesSent(), sim.bytesReceived());
}

TEST(LpcSimHandshake, CrLfPartEchoesTheLineFeedAndSendsTwoIdWords)
{
    const sim::lpc::PartInfo& part = sim::lpc::lpc4357();
    LpcSim sim(part);
    ASSERT_TRUE(sim.start());
    Host host(sim.slavePath());
    synchronize(host, true);
    const std::string ids = std::to_string(part.partId[0]) + "\r\n" + std::to_string(part.partId[1]) + "\r\n";
    EXPECT_EQ(command(host, "J", true, 3 + ids.size()), "0\r\n" + ids);
    // Sector commands take the bank as their last argument.
    EXPECT_EQ(command(host, "P 0 0", true, 4), "12\r\n");
    EXPECT_EQ(command(host, "P 0 0 2", true, 4), "20\r\n");
    EXPECT_EQ(command(host, "P 0 14 1", true, 3), "0\r\n");
    EXPECT_EQ(command(host, "P 0 15 1", true, 3), "7\r\n");
}

TEST(LpcSimFaults, SyncLineFeedDroppedAndRepliesDisturbed)
{
    LpcSim sim(sim::lpc::lpc11c24());
    sim::LpcFaults f;
    f.dropLfAfterSynchronized = true;
    f.ignoreSyncChars = 1;
    sim.setFaults(f);
    ASSERT_TRUE(sim.start());
    Host host(sim.slavePath());
    host.send("?");
    EXPECT_EQ(host.quiet(150), "");
    EXPECT_EQ(host.expect("?", "Synchronized\r"), "Synchronized\r");
    EXPECT_EQ(host.expect("Synchronized\r", "Synchronized\rOK\r\n"), "Synchronized\rOK\r\n");
    EXPECT_EQ(host.expect("12000\r", "12000\rOK\r\n"), "12000\rOK\r\n");
    f = sim.faults();
    EXPECT_EQ(f.ignoreSyncChars, 0);
    f.strayLf = 1;
    f.dropLf = 1;
    f.garbageLines = 1;
    f.garbage = "#";
    sim.setFaults(f);
    // Garbage and the stray LF go in front of the code line, its LF is gone.
    EXPECT_EQ(command(host, "U 23130", false, 4), "#\n0\r");
    f = sim.faults();
    f.silentCommands = 1;
    sim.setFaults(f);
    EXPECT_EQ(command(host, "J", false, 0), "");
    EXPECT_EQ(host.quiet(100), "");
}

sim::LineFault lineFault(const std::string& command, int line, sim::LineAction action)
{
    sim::LineFault f;
    f.command = command;
    f.line = line;
    f.action = action;
    return f;
}

// A held line keeps everything after it behind until the next line comes
// in, or the test lets it go; a dropped one never comes; a split one comes
// up to its CR, the rest once let go; the faults strike only their command.
TEST(LpcSimFaults, AnswerLinesHeldSplitOrDropped)
{
    LpcSim sim(sim::lpc::lpc11c24());
    ASSERT_TRUE(sim.start());
    Host host(sim.slavePath());
    synchronize(host, false);
    sim::LpcFaults f;
    f.lineFaults.push_back(lineFault("U", 0, sim::LineAction::Hold));
    sim.setFaults(f);
    host.send("U 23130\r");
    EXPECT_EQ(host.quiet(150), "");
    EXPECT_EQ(host.expect("J\r", "U 23130\r0\r\nJ\r0\r\n"), "U 23130\r0\r\nJ\r0\r\n");
    EXPECT_EQ(host.read(11), "338694187\r\n");

    f.lineFaults = {lineFault("I", 2, sim::LineAction::Drop)};
    sim::LineFault late = lineFault("K", 1, sim::LineAction::Split);
    late.releaseAfterLines = 0;
    f.lineFaults.push_back(late);
    sim.setFaults(f);
    sim.writeFlash(0x1008, {1, 2, 3, 4});
    // The offset line is gone, the word line comes.
    EXPECT_EQ(command(host, "I 1 1", false, 13), "8\r\n67305985\r\n");
    EXPECT_EQ(command(host, "K", false, 2), "0\r");
    EXPECT_EQ(host.quiet(150), "");
    EXPECT_GT(sim.heldBytes(), 0u);
    sim.releaseHeld();
    const std::string rest = "\n" + std::to_string(sim.part().bootMinor) + "\r\n" +
                             std::to_string(sim.part().bootMajor) + "\r\n";
    EXPECT_EQ(host.read(rest.size()), rest);
    EXPECT_EQ(command(host, "U 23130", false, 3), "0\r\n");
}

// Stages data in RAM with "W", copies it to flash, reads it back with "R".
TEST(LpcSimFlash, WriteCopyReadRoundTripWithFlashSemantics)
{
    LpcSim sim(sim::lpc::lpc11c24());
    ASSERT_TRUE(sim.start());
    Host host(sim.slavePath());
    synchronize(host, false);
    EXPECT_EQ(command(host, "A 0", false, 3), "0\r\n");
    host.send("U 23130\r");
    EXPECT_EQ(host.read(3), "0\r\n");

    const std::vector<std::uint8_t> data = pattern(512, 3);
    std::uint32_t sum = 0;
    const std::string lines = uuBlock(data, &sum);
    sim::LpcFaults f;
    f.resendWriteChecksums = 1;
    sim.setFaults(f);
    EXPECT_EQ(host.expect("W 268436224 512\r", "0\r\n"), "0\r\n");
    host.send(lines);
    EXPECT_EQ(host.expect(std::to_string(sum) + "\r", "RESEND\r\n"), "RESEND\r\n");
    host.send(lines);
    EXPECT_EQ(host.expect(std::to_string(sum + 1) + "\r", "RESEND\r\n"), "RESEND\r\n"); // wrong sum
    host.send(lines);
    EXPECT_EQ(host.expect(std::to_string(sum) + "\r", "OK\r\n"), "OK\r\n");

    EXPECT_EQ(host.expect("C 4096 268436224 512\r", "9\r\n"), "9\r\n"); // not prepared
    EXPECT_EQ(host.expect("P 1 1\r", "0\r\n"), "0\r\n");
    EXPECT_EQ(host.expect("C 4096 268436224 500\r", "6\r\n"), "6\r\n");
    EXPECT_EQ(host.expect("C 4100 268436224 512\r", "3\r\n"), "3\r\n");
    EXPECT_EQ(host.expect("C 4096 268436224 512\r", "0\r\n"), "0\r\n");
    EXPECT_EQ(host.expect("C 4096 268436224 512\r", "9\r\n"), "9\r\n"); // the prepare was used up
    std::vector<std::uint8_t> flash = sim.flash();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), flash.begin() + 4096));
    EXPECT_EQ(flash[4096 + 512], 0xFF);

    // Programming again only clears bits.
    std::vector<std::uint8_t> other = pattern(512, 99);
    sim.writeRam(0x10000300, other);
    host.send("P 1 1\rC 4096 268436224 512\r");
    EXPECT_EQ(host.read(6), "0\r\n0\r\n");
    flash = sim.flash();
    for (std::size_t i = 0; i < 512; ++i)
        ASSERT_EQ(flash[4096 + i], data[i] & other[i]) << i;

    // Read back: 20 lines of 45 bytes per checksum; a corrupted checksum is
    // answered RESEND and the block comes again.
    std::vector<std::uint8_t> expected(flash.begin() + 4096, flash.begin() + 4096 + 512);
    std::uint32_t s = 0;
    const std::string block = uuBlock(expected, &s);
    std::string wire;
    for (char c : block)
        wire += c == '\r' ? std::string("\r\n") : std::string(1, c);
    const std::string full = wire + std::to_string(s) + "\r\n";
    f = sim.faults();
    f.corruptReadChecksums = 1;
    sim.setFaults(f);
    EXPECT_EQ(host.expect("R 4096 512\r", "0\r\n"), "0\r\n");
    EXPECT_EQ(host.read(full.size()), wire + std::to_string(s + 1) + "\r\n");
    EXPECT_EQ(host.expect("RESEND\r", full), full);
    host.send("OK\r");
    EXPECT_EQ(host.expect("E 1 1\r", "9\r\n"), "9\r\n");
    EXPECT_EQ(host.expect("P 1 1\r", "0\r\n"), "0\r\n");
    EXPECT_EQ(host.expect("E 1 1\r", "0\r\n"), "0\r\n");
    host.send("I 1 2\r");
    EXPECT_EQ(host.read(3), "0\r\n");
    sim.writeFlash(0x2008, {0x00});
    EXPECT_EQ(host.expect("I 1 2\r", "8\r\n4104\r\n4294967040\r\n"), "8\r\n4104\r\n4294967040\r\n");
}

TEST(LpcSimFlash, BinaryPartMovesRawBytes)
{
    LpcSim sim(sim::lpc::lpc810());
    ASSERT_TRUE(sim.start());
    Host host(sim.slavePath());
    synchronize(host, true);
    EXPECT_EQ(command(host, "A 0", true, 3), "0\r\n");
    const std::string raw("\x1b\r\n\x00\xff?AB", 8);
    EXPECT_EQ(host.expect("W 268436224 8\r\n", "0\r\n"), "0\r\n");
    host.send(raw);
    EXPECT_EQ(host.expect("R 268436224 8\r\n", "0\r\n" + raw), "0\r\n" + raw);
    EXPECT_EQ(host.expect("A 1\r\n", "0\r\n"), "0\r\n");
    const std::vector<std::uint8_t> ram = sim.ram();
    EXPECT_EQ(std::string(ram.begin() + 0x300, ram.begin() + 0x308), raw);
}

TEST(LpcSimProtection, CrpLevelsRestrictCommands)
{
    struct Case {
        std::uint32_t word;
        const char* line;
        const char* reply;
    } cases[] = {
        {sim::lpc::kCrp1, "R 0 4", "19"},           {sim::lpc::kCrp1, "W 268435456 4", "19"},
        {sim::lpc::kCrp1, "W 268436224 0", "0"},     {sim::lpc::kCrp1, "C 0 268436224 256", "19"},
        {sim::lpc::kCrp1, "E 0 1", "19"},            {sim::lpc::kCrp1, "E 0 7", "9"},
        {sim::lpc::kCrp1, "G 268436224 T", "0"},     {sim::lpc::kCrp2, "W 268436224 4", "19"},
        {sim::lpc::kCrp2, "G 268436224 T", "19"},    {sim::lpc::kCrp2, "E 1 1", "19"},
        {sim::lpc::kCrp2, "C 4096 268436224 256", "19"}, {0xFFFFFFFF, "R 0 4", "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        LpcSim sim(sim::lpc::lpc11c24());
        sim.writeFlash(sim::lpc::kCrpOffset, {static_cast<std::uint8_t>(c.word), static_cast<std::uint8_t>(c.word >> 8),
                                              static_cast<std::uint8_t>(c.word >> 16),
                                              static_cast<std::uint8_t>(c.word >> 24)});
        ASSERT_TRUE(sim.start());
        Host host(sim.slavePath());
        synchronize(host, false);
        host.send("A 0\rU 23130\r");
        ASSERT_EQ(host.read(4 + 6), "A 0\r0\r\n0\r\n");
        const std::string want = std::string(c.reply) + "\r\n";
        EXPECT_EQ(host.expect(std::string(c.line) + "\r", want), want);
        EXPECT_EQ(sim.crpLevel(), sim::lpc::crpLevelOf(c.word));
    }
}

TEST(LpcSimGo, RamRoutinesRemapAndUserCodeLeavesTheRom)
{
    LpcSim sim(sim::lpc::lpc11c24());
    std::vector<std::uint8_t> image(4096, 0x00); // eight zero words: valid user code
    image[4] = 0xC1;
    image[7] = 0x00;
    image[28] = 0x3F; // checksum word keeps the sum at zero
    image[29] = 0xFF;
    image[30] = 0xFF;
    image[31] = 0xFF;
    sim.setFlash(image);
    std::vector<sim::ResetEvent> seen;
    std::mutex m;
    sim.setOnReset([&](const sim::ResetEvent& ev) {
        std::lock_guard<std::mutex> lock(m);
        seen.push_back(ev);
    });
    ASSERT_TRUE(sim.start());
    Host host(sim.slavePath());
    synchronize(host, false);
    host.send("A 0\rU 23130\r");
    ASSERT_EQ(host.read(4 + 6), "A 0\r0\r\n0\r\n");

    // "R 0 4" as the ROM answers it for these four bytes.
    auto readReply = [](const std::vector<std::uint8_t>& bytes) {
        std::uint32_t sum = 0;
        std::string r = "0\r\n" + uuBlock(bytes, &sum);
        return r + "\n" + std::to_string(sum) + "\r\n";
    };
    auto readWord0 = [&](const std::string& want) {
        std::string r = host.talk("R 0 4\r", want.size());
        host.send("OK\r");
        return r;
    };
    // While the ROM runs, address 0 shows its own vectors.
    const std::string bootView = readReply(sim.readMemory(sim::lpc::kBootRomBase, 4));
    EXPECT_EQ(readWord0(bootView), bootView);
    std::uint32_t s = 0;
    // The library's LPC11xx routine that maps the user flash at 0.
    const std::vector<std::uint8_t> mapFlash = {0x01, 0x48, 0x02, 0x21, 0x01, 0x60, 0x70, 0x47,
                                                0x00, 0x80, 0x04, 0x40};
    const std::string lines = uuBlock(mapFlash, &s);
    EXPECT_EQ(host.expect("W 268436224 12\r", "0\r\n"), "0\r\n");
    host.send(lines);
    EXPECT_EQ(host.expect(std::to_string(s) + "\r", "OK\r\n"), "OK\r\n");
    EXPECT_EQ(host.expect("G 268436224 T\r", "0\r\n"), "0\r\n");
    EXPECT_EQ(sim.remapRegister(), 2u);
    EXPECT_EQ(sim.state(), RomState::Command);
    const std::string flashView = readReply({image.begin(), image.begin() + 4});
    EXPECT_EQ(readWord0(flashView), flashView);
    EXPECT_NE(bootView, flashView);

    // A Cortex-M has no ARM state.
    EXPECT_EQ(host.expect("G 268436224 A\r", "12\r\n"), "12\r\n");

    // "G 0 T" starts the user program: the ROM goes quiet and leaves the line.
    EXPECT_EQ(host.expect("G 0 T\r", "0\r\n"), "0\r\n");
    ASSERT_TRUE(sim.waitForState(RomState::Running));
    host.send("J\r");
    EXPECT_EQ(host.quiet(100), "");
    EXPECT_EQ(sim.pty().readSome(1000), "J\r"); // left for whoever runs the firmware
    sim.stop();
    {
        std::lock_guard<std::mutex> lock(m);
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].cause, sim::ResetEvent::Cause::Go);
        EXPECT_EQ(seen[0].entry, 0u);
    }
    // A hardware reset without the ISP pin runs the valid user code.
    sim.reset(false);
    EXPECT_EQ(sim.state(), RomState::Running);
    EXPECT_EQ(sim.resets().back().cause, sim::ResetEvent::Cause::Reset);
    EXPECT_EQ(sim.resets().back().entry, 0xC1u);
    sim.reset(true);
    EXPECT_EQ(sim.state(), RomState::Autobaud);
}

TEST(LpcSimWire, BaudSwitchAndPacing)
{
    LpcSim::Options o;
    o.checkBaud = true;
    o.paceWire = true;
    LpcSim sim(sim::lpc::lpc11c24(), o);
    ASSERT_TRUE(sim.start());
    Host host(sim.slavePath(), 9600);
    synchronize(host, false);
    EXPECT_EQ(command(host, "B 115200 1", false, 3), "0\r\n");
    EXPECT_EQ(sim.baud(), 115200u);
    host.send("J\r"); // still at 9600: lost as noise
    EXPECT_EQ(host.quiet(150), "");
    host.setBaud(115200);
    const std::string id = "0\r\n" + std::to_string(0x1430102Bu) + "\r\n";
    EXPECT_EQ(command(host, "J", false, id.size()), id);

    // 900 bytes come as 20 UU lines and a checksum: at least the wire time.
    const auto t0 = std::chrono::steady_clock::now();
    std::string r = command(host, "R 4096 900", false, 3 + 20 * 63);
    r += host.read(8); // the checksum line, 900 x 0xFF
    const auto took = std::chrono::steady_clock::now() - t0;
    EXPECT_EQ(r.substr(r.size() - 8), "229500\r\n");
    EXPECT_GE(took, std::chrono::microseconds(1260 * 10 * 1000000LL / 115200));
}

TEST(LpcSimPty, DrivesAPtyItDoesNotOwnAndStopsCleanly)
{
    sim::Pty pty;
    ASSERT_TRUE(pty.ok());
    {
        LpcSim sim(pty, sim::lpc::lpc11c24());
        ASSERT_TRUE(sim.start());
        sim.stop();
        ASSERT_TRUE(sim.start());
        Host host(pty.slavePath());
        synchronize(host, false);
        sim.setOnReset([&](const sim::ResetEvent&) { sim.stop(); }); // from its own thread
        host.send("U 23130\rG 4096 T\r");
        const std::string want = "U 23130\r0\r\nG 4096 T\r0\r\n";
        EXPECT_EQ(host.read(want.size()), want);
        ASSERT_TRUE(sim.waitForState(RomState::Running));
    }
    EXPECT_TRUE(pty.ok());
}

} // namespace
