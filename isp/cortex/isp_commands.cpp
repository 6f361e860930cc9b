#include "isp/cortex/isp_commands.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "isp/core/debuglog.h"
#include "isp/cortex/devicetable.h"
#include "isp/cortex/selecteddevice.h"
#include "isp/core/serialport.h"
#include "isp/core/session.h"
#include "isp/cortex/isp_line.h"
#include "isp/cortex/isp_reply.h"
#include "isp/cortex/isp_step.h"
#include "isp/cortex/ramroutines.h"

namespace qz {

namespace {

// NXP's published unlock code for the "U" command.
constexpr unsigned kUnlockCode = 23130;

// The extra id words of LPC18xx/43xx may be missing; they are waited for
// this long only.
constexpr int kExtraIdWordWaitMs = 300;

// Sends a command and reads its return-code line; see command_reply.
int command_reply_v(char* reply, std::size_t capacity, const char* format, std::va_list args)
{
    char echo[kReplyLineSize];
    if (!send_command_v(echo, sizeof echo, format, args)) {
        abort_command();
        return -2;
    }
    if (!read_response_line(reply, capacity)) {
        abort_command();
        return -18;
    }
    return 1;
}

// For the commands whose callers take code read protection as a plain
// failure: 1, -2, or -18 for anything else.
int without_protection(int r)
{
    return r == 1 ? 1 : (r == -2 ? -2 : -18);
}

// Sends "G"; false (after abort_command) when it could not be sent.
bool send_go(std::uint32_t address, bool thumb)
{
    char echo[kReplyLineSize];
    if (send_command(echo, sizeof echo, "G %lu %c%s", static_cast<unsigned long>(address), thumb ? 'T' : 'A',
                     bank_suffix().text))
        return true;
    abort_command();
    return false;
}

// Reads `count` more lines after a "0" reply; -18 (after abort_command)
// when one is missing.
int read_result_line(char* line, std::size_t capacity)
{
    if (!read_response_line(line, capacity)) {
        abort_command();
        return -18;
    }
    return 1;
}

// A data line of J, K or N: a decimal number that fits 32 bits.
bool is_decimal_word(const char* line)
{
    if (line[0] == '\0')
        return false;
    std::uint64_t value = 0;
    for (const char* c = line; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(*c - '0');
        if (value > 0xFFFFFFFFull)
            return false;
    }
    return true;
}

// A data line that is not a number is noise or part of some other answer:
// the try fails, and what else comes for it must not answer the next one.
int refuse_data_line()
{
    debug_log(kLogDebug, "Data line is not a number");
    mark_out_of_step();
    return -18;
}

// Reads one data line that must be a decimal word.
int read_number_line(char* line, std::size_t capacity)
{
    const int r = read_result_line(line, capacity);
    return r == 1 && !is_decimal_word(line) ? refuse_data_line() : r;
}

bool sector_of_bank(const Sector& s, const FlashBank& bank)
{
    return s.start >= bank.start && s.start <= bank.end;
}

const Sector* bank_sector(int number)
{
    const SectorTable& table = current_sector_table();
    const FlashBank& bank = selected_bank();
    for (int i = 0; i < table.size; ++i) {
        const Sector& s = table.sectors[i];
        if (sector_of_bank(s, bank) && static_cast<int>(s.number) == number)
            return &s;
    }
    return nullptr;
}

} // namespace

bool commands_take_bank()
{
    return bank_count() >= 2;
}

int return_code_result(const char* reply)
{
    const int code = response_code(reply);
    if (code == reply_return_code(0))
        return 1;
    // A refusal, a stray or a damaged line: whatever else the part says for
    // this command must not answer the next one.
    mark_out_of_step();
    if (code == reply_return_code(19))
        return kEngineProtected;
    return -18;
}

BankSuffix bank_suffix()
{
    BankSuffix s{};
    if (commands_take_bank())
        std::snprintf(s.text, sizeof s.text, " %u", static_cast<unsigned>(session().flashBank));
    return s;
}

int command_reply(char* reply, std::size_t capacity, const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    const int r = command_reply_v(reply, capacity, format, args);
    va_end(args);
    return r;
}

int simple_command(const char* format, ...)
{
    char reply[kReplyLineSize];
    std::va_list args;
    va_start(args, format);
    const int r = command_reply_v(reply, sizeof reply, format, args);
    va_end(args);
    return r == 1 ? return_code_result(reply) : r;
}

int last_bank_sector()
{
    const SectorTable& table = current_sector_table();
    const FlashBank& bank = selected_bank();
    const std::uint32_t rom = selected_device().boot_rom_base;
    int last = -1;
    for (int i = 0; i < table.size; ++i) {
        const Sector& s = table.sectors[i];
        if (!sector_of_bank(s, bank))
            continue;
        // The boot ROM's own sector is never prepared or erased.
        if (rom >= s.start && rom <= s.end)
            break;
        last = static_cast<int>(s.number);
    }
    return last;
}

int unlock_device()
{
    return without_protection(simple_command("U %u", kUnlockCode));
}

int activate_bank(int bank)
{
    if (bank < 0 || bank > 9)
        return -18;
    return without_protection(simple_command("S %d", bank));
}

int prepare_bank()
{
    const int last = last_bank_sector();
    if (last < 0)
        return -5;
    // Here a missing reply counts as a failed transfer, like a failed send.
    char reply[kReplyLineSize];
    const int r = command_reply(reply, sizeof reply, "P 0 %d%s", last, bank_suffix().text);
    if (r != 1)
        return -2;
    return return_code_result(reply) == 1 ? 1 : -18;
}

int erase_block(int sector)
{
    if (sector < 0 || sector >= sector_count())
        return -18;
    int r = unlock_device();
    if (r != 1)
        return r;
    const BankSuffix b = bank_suffix();
    r = simple_command("P %d %d%s", sector, sector, b.text);
    if (r != 1)
        return r;
    return simple_command("E %d %d%s", sector, sector, b.text);
}

int erase_bank()
{
    const int last = last_bank_sector();
    if (last < 0)
        return -5;
    int r = unlock_device();
    if (r != 1)
        return r;
    r = prepare_bank();
    if (r != 1)
        return r;
    return simple_command("E 0 %d%s", last, bank_suffix().text);
}

int blank_check_sector(int sector, std::uint8_t address_out[3])
{
    const Sector* s = bank_sector(sector);
    if (s == nullptr)
        return -18;
    // The boot ROM's vectors would show through in sector 0.
    const bool remap = sector == 0 && !selected_device().map_when &&
                       selected_device().vector_map != VectorMapKind::None;
    if (remap) {
        const int m = run_vector_map(1);
        if (m != 1)
            return m;
    }
    char reply[kReplyLineSize];
    int result = command_reply(reply, sizeof reply, "I %d %d%s", sector, sector, bank_suffix().text);
    if (result == 1) {
        const int code = response_code(reply);
        if (code == reply_return_code(0)) {
            result = 2;
        } else if (code == reply_return_code(8)) {
            char offset[kReplyLineSize];
            char content[kReplyLineSize];
            result = read_result_line(offset, sizeof offset);
            if (result == 1)
                result = read_result_line(content, sizeof content);
            if (result == 1) {
                char* end = nullptr;
                const unsigned long off = std::strtoul(offset, &end, 10);
                if (end == offset || *end != '\0' || offset[0] < '0' || offset[0] > '9' ||
                    off > s->end - s->start) {
                    mark_out_of_step();
                    result = -18;
                } else {
                    const std::uint32_t a = s->start + static_cast<std::uint32_t>(off);
                    address_out[0] = static_cast<std::uint8_t>(a >> 16);
                    address_out[1] = static_cast<std::uint8_t>(a >> 8);
                    address_out[2] = static_cast<std::uint8_t>(a);
                    result = 3;
                }
            }
        } else {
            result = return_code_result(reply) == kEngineProtected ? kEngineProtected : -18;
        }
    }
    if (remap)
        run_vector_map(0);
    return result;
}

int go_command(std::uint32_t address, bool thumb)
{
    int r = unlock_device();
    if (r != 1)
        return r;
    if (!send_go(address, thumb))
        return -2;
    // The routine or program runs now; whatever the boot ROM still says is
    // dropped, also when it comes after the purge.
    sleep_ms(100);
    purge_port(0);
    mark_out_of_step();
    return 1;
}

int go_for_reset(std::uint32_t address, bool thumb)
{
    int r = unlock_device();
    if (r != 1)
        return r;
    if (selected_device().map_when && selected_device().vector_map != VectorMapKind::None) {
        if (run_vector_map(0) != 1)
            return -18;
    }
    if (!send_go(address, thumb))
        return -2;
    // The reply may be cut short by the program starting; it decides nothing.
    char reply[kReplyLineSize];
    read_response_line(reply, sizeof reply);
    sleep_ms(100);
    purge_port(0);
    mark_out_of_step();
    return 1;
}

int read_part_id(char* text, std::size_t capacity)
{
    int r = simple_command("J");
    if (r != 1)
        return r;
    char id[kReplyLineSize];
    r = read_number_line(id, sizeof id);
    if (r != 1)
        return r;
    std::snprintf(text, capacity, "%s", id);
    const int words = selected_device().id_word_count;
    if (words > 1) {
        int saved_read = 0;
        int saved_write = 0;
        get_comm_timeouts(&saved_read, &saved_write);
        set_comm_timeouts(kExtraIdWordWaitMs, kExtraIdWordWaitMs);
        for (int i = 1; i < words; ++i) {
            char extra[kReplyLineSize];
            if (!read_response_line(extra, sizeof extra)) {
                debug_log(kLogDebug, "Some LPC18xx/LPC43xx devices return only one 32-bit value for "
                                     "the signature. See errata.");
                // The word may still come, after the short wait.
                mark_out_of_step();
                break;
            }
            if (!is_decimal_word(extra)) {
                use_short_timeouts();
                return refuse_data_line();
            }
        }
        use_short_timeouts();
    }
    return 1;
}

int read_boot_code_version(char* text, std::size_t capacity)
{
    int r = simple_command("K");
    if (r != 1)
        return r;
    char a[kReplyLineSize];
    char b[kReplyLineSize];
    r = read_number_line(a, sizeof a);
    if (r == 1)
        r = read_number_line(b, sizeof b);
    if (r != 1)
        return r;
    std::snprintf(text, capacity, "%s.%s", b, a);
    return 1;
}

int read_serial_number(char* text, std::size_t capacity)
{
    int r = simple_command("N");
    if (r != 1)
        return r;
    char words[4][kReplyLineSize];
    for (auto& w : words) {
        if (!read_response_line(w, sizeof w)) {
            abort_command();
            return -2;
        }
        if (!is_decimal_word(w))
            return refuse_data_line();
    }
    std::snprintf(text, capacity, "%s %s %s %s", words[0], words[1], words[2], words[3]);
    return 1;
}

int restore_echo()
{
    // Echo is off while the boot ROM receives this line, unless it never went off.
    if (!send_command(nullptr, 0, "A 1")) {
        abort_command();
        return -2;
    }
    const ReadDeadline deadline;
    char reply[kReplyLineSize];
    while (read_response_line_within(reply, sizeof reply, deadline)) {
        if (std::strcmp(reply, "A 1") == 0)
            continue;
        if (response_code(reply) == reply_return_code(0)) {
            echo_is_on();
            return 1;
        }
        if (!line_out_of_step())
            break;
        debug_log(kLogDebug, "Line of an earlier answer dropped");
    }
    abort_command();
    return -18;
}


int binary_mode_on()
{
    char reply[kReplyLineSize];
    const int r = command_reply(reply, sizeof reply, "A 0");
    // Once the line went out the part may have turned its echo off, whatever
    // came back: only an answered "A 1" tells that it is on again.
    echo_may_be_off();
    return r == 1 ? without_protection(return_code_result(reply)) : r;
}

int binary_mode_off()
{
    return restore_echo();
}

} // namespace qz
