#include "link/firmwarefile.h"

#include <cstdint>
#include <cstdio>
#include <memory>

#include "isp/core/regularfile.h"
#include "isp/core/stricthex.h"
#include "isp/cortex/cortexsinks.h"
#include "isp/cortex/deviceselect.h"
#include "link/firmwareupgrade.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

FirmwareFileCheck damaged(const std::string& reason)
{
    FirmwareFileCheck check;
    check.verdict = FirmwareFileCheck::kDamaged;
    check.reason = reason;
    return check;
}

// The reasons in the library's own words.
std::string faultText(const qz::HexFault& fault)
{
    char text[96];
    switch (fault.kind) {
    case qz::HexFault::kNoData:
        return "(no data record)";
    case qz::HexFault::kRead:
        return "(read error)";
    case qz::HexFault::kOutside:
        std::snprintf(text, sizeof text, "(line %u: address 0x%08llX outside the part)", fault.line,
                      static_cast<unsigned long long>(fault.address));
        return text;
    default:
        std::snprintf(text, sizeof text, "(line %u: %s)", fault.line, qz::hex_fault_words(fault.kind));
        return text;
    }
}

// The library would also write data addressed to the part's RAM, where the
// boot ROM keeps its own work: a firmware file holds flash data only.
class FlashOnlySink final : public qz::ProgramSink {
public:
    explicit FlashOnlySink(qz::ProgramSink& next) : next_(next) {}

    qz::Placement place(std::uint64_t address, const std::uint8_t* bytes, std::size_t count) override
    {
        const qz::CortexPartMap::Spot spot = map_.locate(address, address + count - 1);
        if (spot.where == qz::CortexPartMap::kRam)
            return {qz::Placement::kOutside, address};
        return next_.place(address, bytes, count);
    }

private:
    qz::ProgramSink& next_;
    qz::CortexPartMap map_;
};

} // namespace

FirmwareFileCheck checkFirmwareFile(const char* path)
{
    // Only a regular file is opened, and without blocking: a FIFO or a
    // device named by mistake must not hold the window.
    std::unique_ptr<std::FILE, FileCloser> file(qz::open_regular_file(path));
    if (!file)
        return {};
    if (std::getc(file.get()) != ':') {
        FirmwareFileCheck check;
        check.verdict = FirmwareFileCheck::kNotHex;
        return check;
    }
    std::rewind(file.get());

    // The part the upgrade connects to, bank 0, as the library selects it
    // (the part map is made from that selection); its erase by file then
    // wants at least one sector to erase.
    qz::select_device(kUpgradeDeviceId, 0);
    std::uint32_t sectors = 0;
    qz::EraseSink erase(sectors);
    FlashOnlySink sink(erase);
    const qz::HexFault fault = qz::read_hex_into(file.get(), sink);
    if (fault.kind != qz::HexFault::kNone)
        return damaged(faultText(fault));
    if (sectors == 0)
        return damaged("(nothing to erase)");

    if (!fault.endRecord)
        return damaged("(no end record)");

    FirmwareFileCheck check;
    check.verdict = FirmwareFileCheck::kUsable;
    return check;
}
