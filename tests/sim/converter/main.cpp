// converter-sim: a simulated serial-to-CAN converter on a pty, for trying
// the program by hand. Prints the pty path (open it as the serial port),
// then every line it receives, until interrupted. After "FU" the line is
// the converter's LPC11C24 boot ROM until the ISP library starts the new
// firmware (see converter_bootrom.h for the version an image carries).
#include "tests/sim/converter/converter_bootrom.h"
#include "tests/sim/converter/converter_sim.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t quit = 0;

void onSignal(int) { quit = 1; }

void usage()
{
    std::fprintf(stderr,
                 "usage: converter-sim [--mode setup|active] [--baud N] [--silent] [--garbage]\n"
                 "                     [--delay MS] [--drop N] [--flood MS] [--quiet]\n"
                 "  --mode    mode to answer the probe with (default setup)\n"
                 "  --baud    the converter's active-mode serial rate (default 115200); setup mode\n"
                 "            is always 115200 8N1\n"
                 "  --silent  answer nothing\n"
                 "  --garbage answer garbage instead of each reply\n"
                 "  --delay   send each reply MS milliseconds late\n"
                 "  --drop    drop the first N replies\n"
                 "  --flood   send a received CAN frame every MS milliseconds\n"
                 "  --quiet   do not print the lines received\n");
}

std::string printable(const std::string& s)
{
    std::string out;
    for (unsigned char c : s) {
        if (c >= 32 && c < 127) {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        }
    }
    return out;
}

bool number(const char* text, long* value)
{
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!text[0] || *end || v < 0)
        return false;
    *value = v;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    sim::ConverterMode mode = sim::ConverterMode::Setup;
    sim::ConverterConfig config;
    bool silent = false, garbage = false, quiet = false;
    long delay = 0, drop = 0, flood = -1;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        long n = 0;
        if (arg == "--mode" && value) {
            ++i;
            if (std::strcmp(value, "setup") == 0) {
                mode = sim::ConverterMode::Setup;
            } else if (std::strcmp(value, "active") == 0) {
                mode = sim::ConverterMode::Active;
            } else {
                usage();
                return 2;
            }
        } else if (arg == "--baud" && value && number(value, &n) && n > 0) {
            ++i;
            config.serial.baud = static_cast<unsigned>(n);
        } else if (arg == "--delay" && value && number(value, &n)) {
            ++i;
            delay = n;
        } else if (arg == "--drop" && value && number(value, &n)) {
            ++i;
            drop = n;
        } else if (arg == "--flood" && value && number(value, &n)) {
            ++i;
            flood = n;
        } else if (arg == "--silent") {
            silent = true;
        } else if (arg == "--garbage") {
            garbage = true;
        } else if (arg == "--quiet") {
            quiet = true;
        } else {
            usage();
            return arg == "--help" || arg == "-h" ? 0 : 2;
        }
    }

    sim::ConverterSim converter(mode, config);
    converter.setSilent(silent);
    converter.setGarbage(garbage);
    converter.setReplyDelay(static_cast<int>(delay));
    converter.dropReplies(static_cast<int>(drop));
    if (flood >= 0)
        converter.setFlood(true, static_cast<int>(flood));
    if (!quiet) {
        converter.setLineObserver([](const sim::ConverterEvent& e) {
            std::fprintf(stderr, "< %s%s", printable(e.line).c_str(), e.reply.empty() ? "" : "   > ");
            std::fprintf(stderr, "%s\n", printable(e.reply).c_str());
        });
    }
    // "FU" hands the line to the LPC11C24 boot ROM; the firmware it starts
    // answers "FV" with the version its image carries.
    sim::ConverterBootRom bootRom(converter);
    if (!converter.start()) {
        std::fprintf(stderr, "converter-sim: cannot open a pty\n");
        return 1;
    }
    std::printf("%s\n", converter.portPath().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "converter-sim: %s mode, %u baud 8N1; Ctrl+C ends\n",
                 mode == sim::ConverterMode::Setup ? "setup" : "active",
                 mode == sim::ConverterMode::Setup ? sim::ConverterDevice::kSetupBaud : config.serial.baud);

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    int entries = 0, starts = 0;
    while (!quit) {
        usleep(100 * 1000); // the signal may land on another thread
        if (bootRom.bootRomEntries() != entries) {
            entries = bootRom.bootRomEntries();
            std::fprintf(stderr, "converter-sim: boot ROM (LPC11C24) serves the line\n");
        }
        if (bootRom.firmwareStarts() != starts) {
            starts = bootRom.firmwareStarts();
            std::string version = converter.config().firmwareVersion;
            std::fprintf(stderr, "converter-sim: new firmware runs, version %s\n",
                         printable(version).c_str());
        }
    }
    converter.stop();
    return 0;
}
