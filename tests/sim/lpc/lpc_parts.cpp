#include "tests/sim/lpc/lpc_parts.h"

#include <algorithm>
#include <cctype>

namespace sim::lpc {

namespace {

void addSectors(std::vector<Sector>& out, std::uint32_t start, std::uint32_t size, int count)
{
    for (int i = 0; i < count; ++i)
        out.push_back({start + static_cast<std::uint32_t>(i) * size, size});
}

const std::vector<std::uint32_t> kCopyCortex = {256, 512, 1024, 4096};
const std::vector<std::uint32_t> kCopy18xx = {512, 1024, 4096};
const std::vector<std::uint32_t> kCopy8xx = {64, 128, 256, 512, 1024};

PartInfo lpc11xxPart(std::string name, int number, std::uint32_t id, std::uint32_t flashEnd,
                     std::uint32_t ramEnd)
{
    PartInfo p;
    p.name = std::move(name);
    p.deviceNumber = number;
    p.partId = {id};
    p.banks = {{0, flashEnd, 1}};
    p.ramEnd = ramEnd;
    p.romRamSize = 0x300;
    p.vectorMap = VectorMap::Lpc1xxx;
    p.core = Core::M0;
    p.copySizes = kCopyCortex;
    p.copyAlign = 256;
    p.bootMajor = 7;
    p.bootMinor = 1;
    p.serial = {0x0A0B0C0D, 0x11223344, 0x55667788, static_cast<std::uint32_t>(number)};
    return p;
}

PartInfo lpc18xxPart(std::string name, int number, std::array<std::uint32_t, 2> id,
                     std::uint32_t bankSize, bool twoBanks)
{
    PartInfo p;
    p.name = std::move(name);
    p.deviceNumber = number;
    p.partId = {id[0], id[1]};
    p.banks = {{0x1A000000, 0x1A000000 + bankSize - 1, 2}};
    if (twoBanks)
        p.banks.push_back({0x1B000000, 0x1B000000 + bankSize - 1, 3});
    p.ramEnd = 0x10007FFF;
    p.romRamSize = 0x300;
    p.crlf = true;
    p.vectorMap = VectorMap::None;
    p.core = Core::M3;
    p.copySizes = kCopy18xx;
    p.copyAlign = 512;
    p.bootMajor = 12;
    p.bootMinor = 0;
    p.serial = {0x12345678, 0x9ABCDEF0, 0x0F1E2D3C, static_cast<std::uint32_t>(number)};
    return p;
}

std::vector<PartInfo> buildParts()
{
    std::vector<PartInfo> parts;
    parts.push_back(lpc11xxPart("LPC11C24/301", 4022, 0x1430102B, 0x7FFF, 0x10001FFF));
    parts.push_back(lpc11xxPart("LPC11C14/301", 4009, 0x1440102B, 0x7FFF, 0x10001FFF));
    parts.push_back(lpc11xxPart("LPC1114/302", 4017, 0x3444102B, 0x7FFF, 0x10001FFF));
    {
        PartInfo p = lpc11xxPart("LPC1110", 4028, 0x0A07102B, 0x0FFF, 0x100003FF);
        p.romRamSize = 0x200;
        parts.push_back(p);
    }
    {
        PartInfo p = lpc11xxPart("DAP-S/01", 11001, 0x0001BC40, 0x7FFF, 0x10001FFF);
        p.eepromSize = 4096;
        parts.push_back(p);
    }
    {
        PartInfo p;
        p.name = "LPC1343";
        p.deviceNumber = 3003;
        p.partId = {0x3D00002B};
        p.banks = {{0, 0x7FFF, 0}};
        p.ramEnd = 0x10001FFF;
        p.romRamSize = 0x300;
        p.vectorMap = VectorMap::Lpc1xxx;
        p.core = Core::M3;
        p.copySizes = kCopyCortex;
        p.bootMajor = 5;
        p.bootMinor = 2;
        p.serial = {1, 2, 3, 3003};
        parts.push_back(p);
    }
    {
        PartInfo p;
        p.name = "LPC1768";
        p.deviceNumber = 2008;
        p.partId = {0x26013F37};
        p.banks = {{0, 0x7FFFF, 0}};
        p.ramEnd = 0x10007FFF;
        p.romRamSize = 0x200;
        p.vectorMap = VectorMap::Lpc17xx;
        p.core = Core::M3;
        p.copySizes = kCopyCortex;
        p.bootMajor = 4;
        p.bootMinor = 1;
        p.serial = {0x87654321, 0x11111111, 0x22222222, 2008};
        parts.push_back(p);
    }
    {
        // Flashless: it boots its program from outside; ISP reaches its RAM only.
        PartInfo p = lpc18xxPart("LPC1850", 18000, {0xF000D830, 0x00000000}, 0, false);
        p.banks.clear();
        p.ramEnd = 0x10017FFF;
        parts.push_back(p);
    }
    parts.push_back(lpc18xxPart("LPC1853", 18001, {0xF001DA30, 0x00000044}, 0x40000, true));
    parts.push_back(lpc18xxPart("LPC1822", 18011, {0xF001DA30, 0x000000D2}, 0x40000, false));
    {
        PartInfo p = lpc18xxPart("LPC4357", 19003, {0xA001CA30, 0x00000044}, 0x80000, true);
        p.core = Core::M4;
        parts.push_back(p);
    }
    for (int i = 0; i < 2; ++i) {
        PartInfo p;
        p.name = i == 0 ? "LPC810M021FN8" : "LPC811M001FDH16";
        p.deviceNumber = 20000 + i;
        p.partId = {i == 0 ? 0x00008100u : 0x00008110u};
        p.banks = {{0, i == 0 ? 0x0FFFu : 0x1FFFu, 4}};
        p.ramEnd = i == 0 ? 0x100003FF : 0x100007FF;
        p.romRamSize = i == 0 ? 0x200 : 0x300;
        p.crlf = true;
        p.binary = true;
        p.vectorMap = VectorMap::None;
        p.core = Core::M0;
        p.copySizes = kCopy8xx;
        p.copyAlign = 64;
        p.bootMajor = 13;
        p.bootMinor = 4;
        p.serial = {0xCAFEF00D, 0, 0, static_cast<std::uint32_t>(p.deviceNumber)};
        parts.push_back(p);
    }
    return parts;
}

std::string upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

const PartInfo& byName(const char* name)
{
    // The names below are in the table: a miss is a programming error here.
    return *findPart(name);
}

} // namespace

std::vector<Sector> sectorTable(int type)
{
    std::vector<Sector> s;
    switch (type) {
    case 0:
        addSectors(s, 0x00000000, 0x1000, 16);
        addSectors(s, 0x00010000, 0x8000, 14);
        break;
    case 1:
        addSectors(s, 0x00000000, 0x1000, 32);
        break;
    case 2:
    case 3: {
        std::uint32_t base = type == 2 ? 0x1A000000 : 0x1B000000;
        addSectors(s, base, 0x2000, 8);
        addSectors(s, base + 0x10000, 0x10000, 7);
        break;
    }
    case 4:
        addSectors(s, 0x00000000, 0x400, 32);
        break;
    default:
        break;
    }
    return s;
}

std::vector<Sector> bankSectors(const Bank& bank)
{
    std::vector<Sector> out;
    for (const Sector& s : sectorTable(bank.sectorTable))
        if (s.start >= bank.start && s.start <= bank.end)
            out.push_back(s);
    return out;
}

const std::vector<PartInfo>& knownParts()
{
    static const std::vector<PartInfo> parts = buildParts();
    return parts;
}

const PartInfo* findPart(const std::string& nameOrNumber)
{
    const std::string want = upper(nameOrNumber);
    for (const PartInfo& p : knownParts()) {
        const std::string name = upper(p.name);
        if (name == want || std::to_string(p.deviceNumber) == want)
            return &p;
        std::size_t slash = name.find('/');
        if (slash != std::string::npos && name.substr(0, slash) == want)
            return &p;
    }
    return nullptr;
}

const PartInfo& lpc11c24() { return byName("LPC11C24/301"); }
const PartInfo& lpc1768() { return byName("LPC1768"); }
const PartInfo& lpc4357() { return byName("LPC4357"); }
const PartInfo& lpc810() { return byName("LPC810M021FN8"); }

} // namespace sim::lpc
