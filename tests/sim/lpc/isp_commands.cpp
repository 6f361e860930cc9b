// The ISP commands of the simulated boot ROM (their behaviour is listed in
// boot_rom.h).
#include "tests/sim/lpc/boot_rom.h"

#include "tests/sim/lpc/ram_routines.h"

#include <algorithm>
#include <sstream>

namespace sim::lpc {

namespace {

std::vector<std::string> tokens(const std::string& line)
{
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string t;
    while (in >> t)
        out.push_back(t);
    return out;
}

bool parseNumber(const std::string& s, std::uint32_t* out)
{
    if (s.empty() || s.size() > 10)
        return false;
    std::uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (v > 0xFFFFFFFFull)
        return false;
    *out = static_cast<std::uint32_t>(v);
    return true;
}

bool validBaud(std::uint32_t b)
{
    switch (b) {
    case 1200: case 2400: case 4800: case 9600: case 19200:
    case 38400: case 57600: case 115200: case 230400:
        return true;
    default:
        return false;
    }
}

} // namespace

int BootRom::parseArgs(const std::vector<std::string>& tok, std::size_t fixed, std::size_t optional,
                       std::vector<std::uint32_t>& out) const
{
    const std::size_t n = tok.size() - 1;
    if (n < fixed || n > fixed + optional)
        return PARAM_ERROR;
    out.assign(n, 0);
    for (std::size_t i = 0; i < n; ++i)
        if (!parseNumber(tok[i + 1], &out[i]))
            return PARAM_ERROR;
    return CMD_SUCCESS;
}

int BootRom::sectorRange(const std::vector<std::uint32_t>& a, int* bank) const
{
    *bank = 0;
    if (mem_.bankCount() == 0)
        return INVALID_SECTOR;
    if (mem_.bankCount() > 1) {
        if (a[2] >= static_cast<std::uint32_t>(mem_.bankCount()))
            return INVALID_FLASH_UNIT;
        *bank = static_cast<int>(a[2]);
    }
    if (a[0] > a[1] || a[1] >= static_cast<std::uint32_t>(mem_.sectorCount(*bank)))
        return INVALID_SECTOR;
    return CMD_SUCCESS;
}

int BootRom::parseSectorArgs(const std::vector<std::string>& tok, std::vector<std::uint32_t>& a) const
{
    return parseArgs(tok, mem_.bankCount() > 1 ? 3 : 2, 0, a);
}

int BootRom::sectorArgs(const std::vector<std::string>& tok, std::vector<std::uint32_t>& a, int* bank) const
{
    const int rc = parseSectorArgs(tok, a);
    return rc == CMD_SUCCESS ? sectorRange(a, bank) : rc;
}

void BootRom::command(const std::string& line)
{
    if (commands_.size() < 100000)
        commands_.push_back(line);
    if (faults_.silentCommands > 0) {
        --faults_.silentCommands;
        return;
    }
    const std::vector<std::string> tok = tokens(line);
    if (tok.empty())
        return;
    if (tok[0].size() != 1) {
        reply(INVALID_COMMAND);
        return;
    }
    std::vector<std::uint32_t> a;
    switch (tok[0][0]) {
    case 'U': {
        int rc = parseArgs(tok, 1, 0, a);
        if (rc == CMD_SUCCESS && a[0] != kUnlockCode)
            rc = INVALID_CODE;
        if (rc == CMD_SUCCESS)
            unlocked_ = true;
        reply(rc);
        return;
    }
    case 'A': {
        int rc = parseArgs(tok, 1, 0, a);
        if (rc == CMD_SUCCESS && a[0] > 1)
            rc = PARAM_ERROR;
        if (rc == CMD_SUCCESS)
            echo_ = a[0] == 1;
        reply(rc);
        return;
    }
    case 'B':
        cmdBaud(tok);
        return;
    case 'J': {
        int rc = parseArgs(tok, 0, 0, a);
        reply(rc);
        if (rc != CMD_SUCCESS)
            return;
        const std::vector<std::uint32_t>& id = mem_.part().partId;
        for (std::size_t i = 0; i < id.size() && !(i > 0 && faults_.oneIdWord); ++i)
            sendLine(std::to_string(id[i]));
        return;
    }
    case 'K': {
        int rc = parseArgs(tok, 0, 0, a);
        reply(rc);
        if (rc == CMD_SUCCESS) {
            sendLine(std::to_string(mem_.part().bootMinor));
            sendLine(std::to_string(mem_.part().bootMajor));
        }
        return;
    }
    case 'N': {
        int rc = parseArgs(tok, 0, 0, a);
        reply(rc);
        if (rc == CMD_SUCCESS)
            for (std::uint32_t w : mem_.part().serial)
                sendLine(std::to_string(w));
        return;
    }
    case 'P':
        reply(cmdPrepare(tok));
        return;
    case 'E':
        reply(cmdErase(tok));
        return;
    case 'I':
        cmdBlankCheck(tok);
        return;
    case 'W':
        cmdWrite(tok);
        return;
    case 'R':
        cmdRead(tok);
        return;
    case 'C':
        reply(cmdCopy(tok));
        return;
    case 'G':
        cmdGo(tok);
        return;
    case 'S': {
        if (mem_.bankCount() < 2) {
            reply(INVALID_COMMAND);
            return;
        }
        int rc = parseArgs(tok, 1, 0, a);
        if (rc == CMD_SUCCESS && a[0] >= static_cast<std::uint32_t>(mem_.bankCount()))
            rc = INVALID_FLASH_UNIT;
        if (rc == CMD_SUCCESS)
            bootBank_ = static_cast<int>(a[0]);
        reply(rc);
        return;
    }
    default:
        reply(INVALID_COMMAND);
        return;
    }
}

void BootRom::cmdBaud(const std::vector<std::string>& tok)
{
    std::vector<std::uint32_t> a;
    int rc = parseArgs(tok, 2, 0, a);
    if (rc == CMD_SUCCESS && !validBaud(a[0]))
        rc = INVALID_BAUD_RATE;
    if (rc == CMD_SUCCESS && a[1] != 1 && a[1] != 2)
        rc = INVALID_STOP_BIT;
    reply(rc);
    if (rc == CMD_SUCCESS)
        baud_ = a[0];
}

int BootRom::cmdPrepare(const std::vector<std::string>& tok)
{
    std::vector<std::uint32_t> a;
    int bank = 0;
    const int rc = sectorArgs(tok, a, &bank);
    if (rc != CMD_SUCCESS)
        return rc;
    for (std::uint32_t s = a[0]; s <= a[1]; ++s)
        prepared_[bank][s] = true;
    return CMD_SUCCESS;
}

int BootRom::cmdErase(const std::vector<std::string>& tok)
{
    std::vector<std::uint32_t> a;
    int bank = 0;
    int rc = parseSectorArgs(tok, a);
    if (rc != CMD_SUCCESS)
        return rc;
    if (!unlocked_)
        return CMD_LOCKED;
    if ((rc = sectorRange(a, &bank)) != CMD_SUCCESS)
        return rc;
    const bool all = a[0] == 0 && a[1] + 1 == static_cast<std::uint32_t>(mem_.sectorCount(bank));
    if ((crp_ == 1 && a[0] == 0 && !all) || (crp_ >= 2 && !all))
        return CODE_READ_PROTECTION_ENABLED;
    for (std::uint32_t s = a[0]; s <= a[1]; ++s)
        if (!prepared_[bank][s])
            return SECTOR_NOT_PREPARED_FOR_WRITE_OPERATION;
    mem_.erase(bank, static_cast<int>(a[0]), static_cast<int>(a[1]));
    for (std::uint32_t s = a[0]; s <= a[1]; ++s)
        prepared_[bank][s] = false;
    return CMD_SUCCESS;
}

void BootRom::cmdBlankCheck(const std::vector<std::string>& tok)
{
    std::vector<std::uint32_t> a;
    int bank = 0;
    const int rc = sectorArgs(tok, a, &bank);
    if (rc != CMD_SUCCESS) {
        reply(rc);
        return;
    }
    std::uint32_t offset = 0, word = 0;
    if (mem_.blank(bank, static_cast<int>(a[0]), static_cast<int>(a[1]), &offset, &word)) {
        reply(CMD_SUCCESS);
        return;
    }
    if (crp_ > 0)
        offset = word = 0;
    reply(SECTOR_NOT_BLANK);
    sendLine(std::to_string(offset));
    sendLine(std::to_string(word));
}

void BootRom::cmdWrite(const std::vector<std::string>& tok)
{
    std::vector<std::uint32_t> a;
    int rc = parseArgs(tok, 2, 0, a);
    if (rc == CMD_SUCCESS) {
        const PartInfo& p = mem_.part();
        if (crp_ >= 2 || (crp_ == 1 && a[0] < p.ramStart + p.romRamSize))
            rc = CODE_READ_PROTECTION_ENABLED;
        else if (a[0] % 4 != 0)
            rc = ADDR_ERROR;
        else if (a[1] % 4 != 0)
            rc = COUNT_ERROR;
        else if (mem_.region(a[0], a[1]) != Region::Ram)
            rc = ADDR_NOT_MAPPED;
    }
    reply(rc);
    if (rc != CMD_SUCCESS || a[1] == 0)
        return;
    xferAddr_ = blockStart_ = a[0];
    xferLeft_ = a[1];
    blockBytes_ = blockSum_ = 0;
    blockLines_ = 0;
    state_ = mem_.part().binary ? RomState::BinaryWrite : RomState::WriteData;
}

void BootRom::cmdRead(const std::vector<std::string>& tok)
{
    std::vector<std::uint32_t> a;
    int rc = parseArgs(tok, 2, 0, a);
    if (rc == CMD_SUCCESS) {
        if (crp_ >= 1)
            rc = CODE_READ_PROTECTION_ENABLED;
        else if (a[0] % 4 != 0)
            rc = ADDR_ERROR;
        else if (a[1] % 4 != 0)
            rc = COUNT_ERROR;
        else if (mem_.region(a[0], a[1]) == Region::Unmapped)
            rc = ADDR_NOT_MAPPED;
    }
    reply(rc);
    if (rc != CMD_SUCCESS || a[1] == 0)
        return;
    if (mem_.part().binary) {
        if (!faults_.mute)
            for (std::uint32_t i = 0; i < a[1]; ++i)
                out_ += static_cast<char>(mem_.cpuRead(a[0] + i));
        return;
    }
    xferAddr_ = a[0];
    xferLeft_ = a[1];
    sendReadBlock();
}

int BootRom::cmdCopy(const std::vector<std::string>& tok)
{
    std::vector<std::uint32_t> a;
    int rc = parseArgs(tok, 3, mem_.bankCount() > 1 ? 1 : 0, a);
    if (rc != CMD_SUCCESS)
        return rc;
    if (!unlocked_)
        return CMD_LOCKED;
    if (crp_ >= 2)
        return CODE_READ_PROTECTION_ENABLED;
    const PartInfo& p = mem_.part();
    const std::uint32_t dst = a[0], src = a[1], count = a[2];
    if (dst % p.copyAlign != 0)
        return DST_ADDR_ERROR;
    if (src % 4 != 0)
        return SRC_ADDR_ERROR;
    if (std::find(p.copySizes.begin(), p.copySizes.end(), count) == p.copySizes.end())
        return COUNT_ERROR;
    int bank = 0;
    if (mem_.region(dst, count, &bank) != Region::Flash)
        return DST_ADDR_NOT_MAPPED;
    if (a.size() == 4 && a[3] >= static_cast<std::uint32_t>(mem_.bankCount()))
        return INVALID_FLASH_UNIT;
    if (mem_.region(src, count) != Region::Ram)
        return SRC_ADDR_NOT_MAPPED;
    const std::uint32_t base = p.banks[bank].start;
    const int first = mem_.sectorAt(bank, dst);
    const int last = mem_.sectorAt(bank, dst + count - 1);
    if (first < 0 || last < 0)
        return DST_ADDR_NOT_MAPPED;
    if (crp_ == 1 && bank == 0 && first == 0)
        return CODE_READ_PROTECTION_ENABLED;
    for (int s = first; s <= last; ++s)
        if (!prepared_[bank][s])
            return SECTOR_NOT_PREPARED_FOR_WRITE_OPERATION;
    mem_.program(bank, dst - base, mem_.ram().data() + (src - p.ramStart), count);
    for (int s = first; s <= last; ++s)
        prepared_[bank][s] = false;
    return CMD_SUCCESS;
}

void BootRom::cmdGo(const std::vector<std::string>& tok)
{
    const std::size_t n = tok.size() - 1;
    const std::size_t maxArgs = mem_.bankCount() > 1 ? 3 : 2;
    std::uint32_t addr = 0, bank = 0;
    int rc = CMD_SUCCESS;
    if (n < 2 || n > maxArgs || !parseNumber(tok[1], &addr) || tok[2] != "T" ||
        (n == 3 && !parseNumber(tok[3], &bank)))
        rc = PARAM_ERROR;
    else if (!unlocked_)
        rc = CMD_LOCKED;
    else if (crp_ >= 2)
        rc = CODE_READ_PROTECTION_ENABLED;
    else if (addr % 4 != 0)
        rc = ADDR_ERROR;
    else if (n == 3 && bank >= static_cast<std::uint32_t>(mem_.bankCount()))
        rc = INVALID_FLASH_UNIT;
    const Region region = rc == CMD_SUCCESS ? mem_.region(addr, 1) : Region::Unmapped;
    if (rc == CMD_SUCCESS && region != Region::Flash && region != Region::Ram)
        rc = ADDR_NOT_MAPPED;
    reply(rc);
    if (rc != CMD_SUCCESS)
        return;
    if (region == Region::Ram)
        runRam(addr, true);
    else
        startUser(ResetEvent::Cause::Go, addr, 0, addr, true);
}

void BootRom::runRam(std::uint32_t address, bool thumb)
{
    const PartInfo& p = mem_.part();
    const std::size_t avail = std::min<std::size_t>(p.ramEnd - address + 1, 96);
    const std::uint8_t* code = mem_.ram().data() + (address - p.ramStart);
    const Routine r = identifyRoutine(code, avail);
    switch (r.kind) {
    case RoutineKind::Unknown:
        startUser(ResetEvent::Cause::Go, address, 0, address, thumb);
        return;
    case RoutineKind::RegisterWrite:
        if ((r.needsThumb2 && p.core == Core::M0) || !mem_.writeRegister(r.address, r.value))
            state_ = RomState::Hung;
        return;
    case RoutineKind::VectorTableStart: {
        const std::uint32_t sp = mem_.cpuRead32(r.address);
        const std::uint32_t entry = mem_.cpuRead32(r.address + 4);
        const Region where = mem_.region(entry & ~1u, 2);
        if (where == Region::BootRom)
            enterIsp();
        else if ((where == Region::Flash || where == Region::Ram) && (entry & 1))
            startUser(ResetEvent::Cause::VectorTable, r.address, sp, entry, true);
        else
            state_ = RomState::Hung; // no Thumb bit, or nothing there
        return;
    }
    case RoutineKind::EepromWrite:
    case RoutineKind::EepromRead: {
        // The IAP call reports a bad range in its result, which the routine
        // drops: nothing changes then.
        const std::uint64_t eeEnd = static_cast<std::uint64_t>(r.eepromAddress) + r.length;
        if (r.length == 0 || eeEnd > p.eepromSize || mem_.region(r.ramAddress, r.length) != Region::Ram)
            return;
        std::vector<std::uint8_t>& ee = mem_.eeprom();
        for (std::uint32_t i = 0; i < r.length; ++i) {
            if (r.kind == RoutineKind::EepromWrite)
                ee[r.eepromAddress + i] = mem_.physRead(r.ramAddress + i);
            else
                mem_.writeRam(r.ramAddress + i, ee[r.eepromAddress + i]);
        }
        return;
    }
    }
}

} // namespace sim::lpc
