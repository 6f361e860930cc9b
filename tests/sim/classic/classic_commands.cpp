// What the simulated loader does with each command record of its dialect.
//
// Dialect 1 (record types from the persona; W = write type, Q = query type):
// - 00 data: written into the flash (upper address from 04 records); a
//   record reaching outside the flash is refused with "R".
// - 01 end of file, 02 softICE: ".".
// - 09 set password, 08 verify password (a wrong one answers "P"),
//   07 with no data resets the password; with eraseAllAsType the erase-all
//   code as record type erases all (flash, security, password).
// - 0B with no data: reset method 1 ("." then the part runs).
// - W 01 ss / 01 ssss: erase the block that starts at ss x 256;
//   W eraseAllCode: erase all; W 04 00: boot vector and status byte to 0;
//   W 06 00 dd status byte, 06 01 dd / 06 02 dd boot vector low / high,
//   06 03 dd I2C address; W 05 ss: security bit ss;
//   03 08 aaaa: erase the page at aaaa.
// - Q 00 s signature; Q 07 00 security, 07 01 status byte, 07 02 / 07 03
//   boot vector low / high, 07 04 I2C address; Q 80 01: reset method 0
//   (answered "00." then the part runs).
// - While a password locks the part every command but 08 and 07 answers "P".
//
// Dialect 2 (Q = query type, W = write type):
// - 00 data: as dialect 1, and a block whose program-disable flag is set
//   answers "S".
// - 04 00 aaaa erase the page at aaaa, 04 01 aa 00 erase the sector that
//   starts at aa x 256 (a block whose erase-disable flag is set answers
//   "S"), 04 02 aaaa an EEPROM page (".").
// - eraseAllCode with no data: erase all (flash and sector security).
// - W 00 / 01 configuration low / high (refused "S" while protected),
//   W 02 boot vector, W 03 additional security, W 10 00 clears the
//   configuration protection, W ss dd with ss a sector-security
//   sub-function: the block's flags |= dd.
// - Q 00 / 01 configuration, Q 02 boot vector, Q 03 additional security,
//   Q 1s signature, Q ss sector security.
#include "tests/sim/classic/classic_loader.h"

#include <cstdio>

namespace sim {

namespace {

std::string hex2(unsigned v)
{
    char b[3];
    std::snprintf(b, sizeof b, "%02X", v & 0xFF);
    return b;
}

} // namespace

void ClassicLoader::refuse()
{
    if (p_.dialect == 2)
        reply("R\r\n\r\n");
    else
        status('R');
}

void ClassicLoader::resetBy(int method, const std::string& answer)
{
    reply(answer);
    ++resets_;
    lastResetMethod_ = method;
    if (p_.runAfterReset)
        state_ = State::Running;
}

void ClassicLoader::eraseAll()
{
    flash_.eraseAll();
    settings_.security = 0;
    for (auto& s : settings_.sectorSecurity)
        s = 0;
}

void ClassicLoader::programData(std::uint32_t address, const std::vector<std::uint8_t>& data)
{
    const std::uint32_t first = upper_ + address;
    if (!flash_.inside(first) || (!data.empty() && !flash_.inside(first + static_cast<std::uint32_t>(data.size()) - 1))) {
        refuse();
        return;
    }
    if (p_.dialect == 2) {
        for (std::size_t i = 0; i < data.size(); ++i) {
            const int b = flash_.blockOf(first + static_cast<std::uint32_t>(i));
            if (b >= 0 && static_cast<std::size_t>(b) < settings_.sectorSecurity.size() &&
                (settings_.sectorSecurity[static_cast<std::size_t>(b)] & 0x02)) {
                status('S');
                return;
            }
        }
    }
    for (std::size_t i = 0; i < data.size(); ++i)
        flash_.program(first + static_cast<std::uint32_t>(i), data[i]);
    status('.');
}

// The block whose sector-security sub-function is `sub` (reading or
// programming), or -1.
int ClassicLoader::sectorSecurityBlock(std::uint8_t sub, bool program) const
{
    for (int k = 0; k < flash_.blockCount(); ++k) {
        std::uint8_t ss;
        if (program) {
            ss = static_cast<std::uint8_t>(p_.securityBase + k + (k > 7 ? 8 : 0));
        } else {
            const std::uint8_t b = static_cast<std::uint8_t>(p_.securityBase + k);
            ss = b < 16 ? b : static_cast<std::uint8_t>(b + 8);
        }
        if (ss == sub)
            return k;
    }
    return -1;
}

bool ClassicLoader::d1Memory(std::uint8_t type, const std::vector<std::uint8_t>& data)
{
    const std::size_t n = data.size();
    ClassicSettings& s = settings_;
    if (type == 0x08 && n > 0) { // verify password
        if (s.password.empty() || s.password == data) {
            unlocked_ = true;
            status('.');
        } else {
            status('P');
        }
        return true;
    }
    if (n == 0 && (type == 0x07 || (p_.eraseAllAsType && type == p_.eraseAllCode))) {
        if (p_.eraseAllAsType && type == p_.eraseAllCode)
            eraseAll();
        if (type == 0x07) {
            s.password.clear();
            unlocked_ = true;
        }
        status('.');
        return true;
    }
    const bool known = type == 0x09 || (type == 0x0B && n == 0) ||
                       type == p_.writeType || type == 0x03 || type == p_.queryType;
    if (!known)
        return false;
    if (!unlocked_) {
        status('P');
        return true;
    }
    if (type == 0x09) {
        s.password = data;
        status('.');
        return true;
    }
    if (type == 0x0B) {
        resetBy(1, ".");
        return true;
    }
    if (type == p_.queryType) {
        if (n == 2 && data[0] == 0x00) {
            value(data[1] < p_.signature.size() ? p_.signature[data[1]] : 0);
        } else if (n == 2 && data[0] == 0x80 && data[1] == 0x01) {
            resetBy(0, "00.");
        } else if (n == 2 && data[0] == 0x07) {
            switch (data[1]) {
            case 0x00: value(s.security); break;
            case 0x01: value(s.statusByte); break;
            case 0x02: value(s.bootVector & 0xFF); break;
            case 0x03: value(s.bootVector >> 8); break;
            case 0x04: value(s.i2cAddress); break;
            default: value(0x00); break;
            }
        } else {
            value(0x00);
        }
        return true;
    }
    // The write type, or the fixed 03 of the page erase.
    if (type == 0x03 && n == 3 && data[0] == 0x08) {
        if (flash_.erasePage(static_cast<std::uint32_t>(data[1] << 8 | data[2])))
            status('.');
        else
            status('R');
        return true;
    }
    if (type != p_.writeType)
        return false;
    if (n == 1 && data[0] == p_.eraseAllCode) {
        eraseAll();
        status('.');
    } else if ((n == 2 || n == 3) && data[0] == 0x01) {
        const std::uint32_t code = n == 2 ? data[1] : static_cast<std::uint32_t>(data[1] << 8 | data[2]);
        const int block = flash_.blockStartingAt(code << 8);
        if (block >= 0 && flash_.eraseBlock(block))
            status('.');
        else
            status('R');
    } else if (n == 2 && data[0] == 0x04 && data[1] == 0x00) {
        s.bootVector = 0;
        s.statusByte = 0;
        status('.');
    } else if (n == 3 && data[0] == 0x06) {
        switch (data[1]) {
        case 0x00: s.statusByte = data[2]; break;
        case 0x01: s.bootVector = static_cast<std::uint16_t>((s.bootVector & 0xFF00) | data[2]); break;
        case 0x02: s.bootVector = static_cast<std::uint16_t>((s.bootVector & 0x00FF) | data[2] << 8); break;
        case 0x03: s.i2cAddress = data[2]; break;
        default: break;
        }
        status('.');
    } else if (n == 2 && data[0] == 0x05 && data[1] < 8) {
        s.security = static_cast<std::uint8_t>(s.security | 1u << data[1]);
        status('.');
    } else {
        status('.');
    }
    return true;
}

bool ClassicLoader::d2Memory(std::uint8_t type, std::uint16_t address, const std::vector<std::uint8_t>& data)
{
    const std::size_t n = data.size();
    ClassicSettings& s = settings_;
    auto flags = [&](int block) -> std::uint8_t {
        return block >= 0 && static_cast<std::size_t>(block) < s.sectorSecurity.size()
                   ? s.sectorSecurity[static_cast<std::size_t>(block)]
                   : 0;
    };
    if (type == 0x00) {
        programData(address, data);
        return true;
    }
    if (type == 0x04 && n == 3) {
        const std::uint32_t a = static_cast<std::uint32_t>(data[1] << 8 | data[2]);
        if (data[0] == 0x00) {
            if (flags(flash_.blockOf(a)) & 0x04)
                status('S');
            else if (flash_.erasePage(a))
                status('.');
            else
                status('R');
        } else if (data[0] == 0x01) {
            const int block = flash_.blockStartingAt(static_cast<std::uint32_t>(data[1]) << 8);
            if (block < 0 || data[2] != 0)
                status('R');
            else if (flags(block) & 0x04)
                status('S');
            else {
                flash_.eraseBlock(block);
                status('.');
            }
        } else {
            status('.'); // an EEPROM page
        }
        return true;
    }
    if (type == p_.eraseAllCode && n == 0) {
        eraseAll();
        status('.');
        return true;
    }
    if (type == p_.writeType && n == 2) {
        const std::uint8_t sub = data[0], v = data[1];
        if (sub == 0x00 || sub == 0x01) {
            if (s.configProtected) {
                status('S');
                return true;
            }
            s.config[sub] = v;
        } else if (sub == 0x02) {
            s.bootVector = v;
        } else if (sub == 0x03) {
            s.addlSecurity = v;
        } else if (sub == 0x10) {
            s.configProtected = false;
        } else {
            const int block = sectorSecurityBlock(sub, true);
            if (block >= 0) {
                if (s.sectorSecurity.size() < static_cast<std::size_t>(flash_.blockCount()))
                    s.sectorSecurity.resize(static_cast<std::size_t>(flash_.blockCount()), 0);
                s.sectorSecurity[static_cast<std::size_t>(block)] |= v & 0x07;
            }
        }
        status('.');
        return true;
    }
    if (type == p_.queryType && n == 1) {
        const std::uint8_t sub = data[0];
        if (sub == 0x00 || sub == 0x01)
            value(s.config[sub]);
        else if (sub == 0x02)
            value(s.bootVector & 0xFF);
        else if (sub == 0x03)
            value(s.addlSecurity);
        else if ((sub & 0xF0) == 0x10 && (sub & 0x0F) < 8)
            value((sub & 0x0F) < p_.signature.size() ? p_.signature[sub & 0x0F] : 0);
        else
            value(flags(sectorSecurityBlock(sub, false)));
        return true;
    }
    return false;
}

void ClassicLoader::dialect1(std::uint8_t type, std::uint16_t address, const std::vector<std::uint8_t>& data)
{
    if (type == 0x00) {
        if (!unlocked_)
            status('P');
        else
            programData(address, data);
        return;
    }
    if (type == 0x04 && data.size() == 2) {
        upper_ = static_cast<std::uint32_t>(data[0] << 8 | data[1]) << 16;
        status('.');
    } else if (type == 0xFF) {
        if (p_.icpAnswer == 'R' || p_.icpAnswer == '.')
            status(p_.icpAnswer);
        else
            reply(hex2(p_.icpMajor) + hex2(p_.icpMinor) + ".\r\n");
    } else if (type == p_.baudType && p_.baudType != 0 && data.size() == 2) {
        status('.');
        switchBaud(static_cast<std::uint16_t>(data[0] << 8 | data[1]));
    } else if (type == p_.oscType && p_.oscType != 0 && data.size() == 1) {
        oscillatorSent_ = data[0];
        status('.');
    } else if (!d1Memory(type, data)) {
        status('.');
    }
}

void ClassicLoader::dialect2(std::uint8_t type, std::uint16_t address, const std::vector<std::uint8_t>& data)
{
    if (type == 0x01) {
        // The boot loader's versions answer the end-of-file record too.
        reply(hex2(p_.ispVersion) + hex2(p_.iapVersion) + ".\r\n");
    } else if (type == 0x04 && data.size() == 2) {
        upper_ = static_cast<std::uint32_t>(data[0] << 8 | data[1]) << 16;
        status('.');
    } else if (type == 0xFF) {
        if (p_.icpAnswer == 'R' || p_.icpAnswer == '.')
            status(p_.icpAnswer);
        else
            reply(hex2(p_.icpMajor) + hex2(p_.icpMinor) + ".\r\n");
    } else if (type == p_.baudType && data.size() == 2) {
        status('.');
        switchBaud(static_cast<std::uint16_t>(data[0] << 8 | data[1]));
    } else if (type == 0x0B && data.empty()) {
        resetBy(1, ".");
    } else if (!d2Memory(type, address, data)) {
        status('.');
    }
}

} // namespace sim
