// What the engine tests share: a simulated part built from the library's
// own record of the device (its dialect, record types, flash layout and boot
// loader area), connected and synchronised, and HEX files to program.
#pragma once

#include "isp/classic/classic_device.h"
#include "isp/classic/family_blocks.h"
#include "tests/isp/classic/classicfixture.h"

#include "qz_interface.h"

#include <cstdio>
#include <string>
#include <vector>

namespace classictest {

inline sim::ClassicPersona personaFor(int number)
{
    const qz::ClassicDeviceRecord& d = *qz::classic_device_at(qz::classic_device_index(number));
    sim::ClassicPersona p;
    p.dialect = qz::record_dialect(d) == qz::kDialect2 ? 2 : 1;
    p.sync = static_cast<char>(d.sync_char);
    p.queryType = d.query_record_type;
    p.writeType = d.write_record_type;
    p.baudType = d.baud_record_type;
    p.oscType = d.osc_record_type;
    p.signature.assign({0x15, 0xC2, 0x99});
    p.signature.resize(d.signature_bytes);
    p.layout.flashSize = d.flash_size;
    p.layout.erased = d.erased_value;
    p.layout.blocks = sim::classic_family_blocks(d.family, d.block_count);
    p.layout.pageSize = d.page_size;
    if (d.boot_loader_guard && d.page_count) {
        p.layout.guardStart = d.page_limit * d.page_size;
        p.layout.guardEnd = d.flash_size;
    }
    p.eraseAllCode = d.erase_all_code;
    p.eraseAllAsType = d.family == 5 || d.family == 6 || d.family == 9;
    p.securityBase = d.security_base;
    p.settings.bootVector = d.reset_boot_vector;
    p.settings.statusByte = 0;
    return p;
}

// One data record line.
inline std::string hexLine(unsigned address, const std::vector<std::uint8_t>& data, unsigned type = 0)
{
    char b[16];
    std::string s = ":";
    unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8 & 0xFF) + (address & 0xFF) + type;
    std::snprintf(b, sizeof b, "%02X%04X%02X", static_cast<unsigned>(data.size()), address & 0xFFFF, type);
    s += b;
    for (std::uint8_t v : data) {
        std::snprintf(b, sizeof b, "%02X", v);
        s += b;
        sum += v;
    }
    std::snprintf(b, sizeof b, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    return s + b;
}

class EngineFixture : public ClassicFixture {
protected:
    void TearDown() override
    {
        for (const std::string& f : files_)
            std::remove(f.c_str());
        ClassicFixture::TearDown();
    }

    // Starts the part, selects it, opens the port and synchronises.
    void open(int number, const sim::ClassicPersona& persona)
    {
        startPart(persona);
        connectPort(number);
        qz::set_short_timeout(3000);
        qz::set_long_timeout(3000);
        const char u = persona.sync;
        char c = 0;
        ASSERT_EQ(qz::port_write(&u, 1), 1);
        ASSERT_EQ(qz::port_read(&c, 1, 0), 1);
        before_ = part->records().size();
    }
    void open(int number) { open(number, personaFor(number)); }

    std::string hexFile(const std::string& text)
    {
        char tmpl[] = "/tmp/qzclassichexXXXXXX";
        const int fd = ::mkstemp(tmpl);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        ::close(fd);
        files_.push_back(tmpl);
        return tmpl;
    }

    // The records the part took since open().
    std::vector<std::string> sent() const
    {
        const auto all = part->records();
        return std::vector<std::string>(all.begin() + static_cast<long>(before_), all.end());
    }

    const IspResult* program(const std::string& text, int checksumAdjust = 0, int guard = 0, int finalFlag = 0,
                             ProgressCallback cb = nullptr, int user = 0)
    {
        const std::string path = hexFile(text);
        return qz_program(path.c_str(), checksumAdjust, 0, 0, guard, nullptr, nullptr, 0, finalFlag, 0, cb, user);
    }

private:
    std::vector<std::string> files_;
    std::size_t before_ = 0;
};

// Device numbers the tests use.
constexpr int k89C51RB2Hxx = 2;
constexpr int k89C669 = 21;
constexpr int k89V51RD2 = 49;
constexpr int k89LPC922 = 25;
constexpr int k89LPC932 = 19;

} // namespace classictest
