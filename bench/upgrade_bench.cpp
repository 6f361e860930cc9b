// The converter's firmware upgrade end to end, as Vantrel runs it: "FU" to
// the simulated converter, which hands its line to the LPC11C24 boot ROM,
// then SerialPortThread::Thread_FirmwareUpgrade in the worker's event-loop
// thread at Vantrel's 9600 baud, with the boot ROM carrying bytes no faster
// than the wire would (10 bits a byte each way). Prints the time from the
// slot's start to its final code and its ratio to the wire time of the
// bytes exchanged meanwhile.
//
//   upgrade_bench [KiB]      (default 32: the whole flash)
#include "link/codec.h"
#include "link/firmwareupgrade.h"
#include "link/serialportthread.h"
#include "tests/isp/core/opsfixture.h"
#include "tests/sim/converter/converter_bootrom.h"
#include "tests/sim/converter/converter_sim.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::uint8_t> firmware(std::size_t size)
{
    std::vector<std::uint8_t> image(0x8000, 0xFF);
    std::uint32_t x = 2024;
    for (std::size_t i = 0; i < size && i < image.size(); ++i) {
        x = x * 1664525u + 1013904223u;
        image[i] = static_cast<std::uint8_t>(x >> 24);
    }
    return sim::ConverterBootRom::withVersion(image, 0x400, "V9.99");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const unsigned kib = argc > 1 ? static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)) : 32;
    if (kib == 0 || kib > 32) {
        std::fprintf(stderr, "usage: upgrade_bench [KiB 1..32]\n");
        return 2;
    }

    char dirPattern[] = "/tmp/upgrade-benchXXXXXX";
    if (!mkdtemp(dirPattern)) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    const std::string dir = dirPattern;
    setenv("TMPDIR", dir.c_str(), 1); // the library's log lands here
    const std::vector<std::uint8_t> image = firmware(kib * 1024u);
    const std::string hex = dir + "/converter.hex";
    opstest::writeFile(hex, opstest::hexText(image));

    sim::LpcSimOptions wire;
    wire.checkBaud = true;
    wire.paceWire = true;
    sim::ConverterSim converter;
    sim::ConverterBootRom bootRom(converter, wire);
    if (!converter.start()) {
        std::fprintf(stderr, "no pty\n");
        return 1;
    }

    SerialPortThread worker;
    QThread serialWorker;
    int finalCode = 0;
    int reports = 0;
    QObject receiver;
    QObject::connect(&worker, &SerialPortThread::FWProgress, &receiver, [&](int v) {
        if (v == 100 || v == 1000)
            finalCode = v;
        else
            ++reports;
    }, Qt::QueuedConnection);

    // "FU" on the converter's own line.
    worker.port.setPortName(QString::fromStdString(converter.portPath()));
    worker.port.setBaudRate(115200);
    if (!worker.port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "port: %s\n", worker.port.errorString().toLocal8Bit().constData());
        return 1;
    }
    char line[30];
    uint8_t len = 0;
    EncodeFirmwareUpgrade(line, sizeof line, &len);
    const QByteArray ok = worker.sendSetupCommand(line, len);
    worker.port.close();
    if (ok != QByteArray("OK\r")) {
        std::fprintf(stderr, "the converter did not take FU\n");
        return 1;
    }

    worker.moveToThread(&serialWorker);
    serialWorker.start();
    worker.start();
    worker.setUpgradeTarget(converter.portPath().c_str(), hex.c_str());

    const std::uint64_t in0 = bootRom.rom().bytesReceived();
    const std::uint64_t out0 = bootRom.rom().bytesSent();
    const Clock::time_point t0 = Clock::now();
    Clock::time_point t1 = t0;
    QMetaObject::invokeMethod(&worker, "Thread_FirmwareUpgrade", Qt::QueuedConnection);
    while (finalCode == 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        t1 = Clock::now();
        if (t1 - t0 > std::chrono::minutes(10))
            break;
    }
    const std::uint64_t toPart = bootRom.rom().bytesReceived() - in0;
    const std::uint64_t fromPart = bootRom.rom().bytesSent() - out0;

    worker.stop();
    worker.wait();
    serialWorker.quit();
    serialWorker.wait();
    converter.stop();

    const bool flashOk = bootRom.flash() == opstest::withVectorChecksum(image);
    const double seconds = std::chrono::duration<double>(t1 - t0).count();
    const double baud = 9600.0;
    const double wireBoth = static_cast<double>(toPart + fromPart) * 10.0 / baud;
    const double wireBusier = static_cast<double>(std::max(toPart, fromPart)) * 10.0 / baud;
    std::printf("upgrade %u KiB at 9600 baud: final code %d, flash %s, %d progress reports\n", kib,
                finalCode, flashOk ? "equals the file" : "DIFFERS", reports);
    std::printf("  time %.3f s; to part %llu B, from part %llu B\n", seconds,
                static_cast<unsigned long long>(toPart), static_cast<unsigned long long>(fromPart));
    std::printf("  wire time, both directions in turn %.3f s: ratio %.3f\n", wireBoth, seconds / wireBoth);
    std::printf("  wire time, busier direction only  %.3f s: ratio %.3f\n", wireBusier, seconds / wireBusier);
    if (finalCode != 100)
        std::printf("  failure: %s", worker.lastMessage().toLocal8Bit().constData());

    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return finalCode == 100 && flashOk ? 0 : 1;
}
