#include "tests/sim/converter/converter_bootrom.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace sim {

struct ConverterBootRom::State {
    State(ConverterSim& c, LpcSimOptions options)
        : converter(c), rom(c.pty(), lpc::lpc11c24(), options)
    {
    }

    // On the converter's thread, once "OK\r" for "FU" has gone out.
    void enterBootRom()
    {
        if (!attached.load())
            return;
        converter.handOver();
        rom.stop(); // joins a thread that ended itself at the last start
        rom.start();
        count(entries);
    }

    // On the boot ROM's thread when the part leaves it.
    void partStarted(const ResetEvent& event)
    {
        const lpc::Bank& bank = rom.part().banks.front();
        if (event.entry < bank.start || event.entry > bank.end)
            return; // not the firmware: the line stays with the part
        ConverterConfig config = converter.savedConfig();
        const std::string version = imageVersion(rom.flash());
        if (!version.empty())
            config.firmwareVersion = version + "\r";
        converter.setConfig(config); // a power-up with the new firmware
        rom.stop();                  // only asks its own thread to end
        converter.takeBack();
        count(starts);
    }

    void count(int& counter)
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            ++counter;
        }
        changed.notify_all();
    }

    ConverterSim& converter;
    LpcSim rom;
    std::atomic<bool> attached{true};
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    int entries = 0;
    int starts = 0;
};

ConverterBootRom::ConverterBootRom(ConverterSim& converter, LpcSimOptions options)
    : state_(std::make_shared<State>(converter, options))
{
    State* s = state_.get();
    // The ROM's hook dies with the ROM, which the state owns: a plain
    // pointer. The converter's handler may still run while detaching, so it
    // holds the state.
    s->rom.setOnReset([s](const ResetEvent& event) { s->partStarted(event); });
    std::shared_ptr<State> held = state_;
    converter.setFirmwareUpgradeHandler([held](ConverterSim&) { held->enterBootRom(); });
}

ConverterBootRom::~ConverterBootRom()
{
    state_->attached.store(false);
    state_->converter.setFirmwareUpgradeHandler(nullptr);
    state_->rom.setOnReset(nullptr);
    state_->rom.stop();
}

LpcSim& ConverterBootRom::rom()
{
    return state_->rom;
}

std::vector<std::uint8_t> ConverterBootRom::flash() const
{
    return state_->rom.flash();
}

int ConverterBootRom::bootRomEntries() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->entries;
}

int ConverterBootRom::firmwareStarts() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->starts;
}

bool ConverterBootRom::waitForFirmwareStarts(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(state_->mutex);
    return state_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                    [&] { return state_->starts >= count; });
}

std::string ConverterBootRom::imageVersion(const std::vector<std::uint8_t>& image)
{
    const std::size_t markerLength = std::strlen(kVersionMarker);
    auto at = std::search(image.begin(), image.end(), kVersionMarker, kVersionMarker + markerLength);
    if (at == image.end())
        return std::string();
    std::string version;
    for (at += static_cast<long>(markerLength); at != image.end() && version.size() < kMaxVersionLength; ++at) {
        if (*at < 0x20 || *at > 0x7E)
            break;
        version += static_cast<char>(*at);
    }
    return version;
}

std::vector<std::uint8_t> ConverterBootRom::withVersion(std::vector<std::uint8_t> image, std::size_t offset,
                                                        const std::string& version)
{
    const std::string text = std::string(kVersionMarker) + version;
    if (image.size() < offset + text.size() + 1)
        image.resize(offset + text.size() + 1, 0xFF);
    std::copy(text.begin(), text.end(), image.begin() + static_cast<long>(offset));
    image[offset + text.size()] = 0;
    return image;
}

} // namespace sim
