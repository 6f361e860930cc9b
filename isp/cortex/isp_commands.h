// The boot ROM's commands, one routine each. Every routine returns 1 (or
// the documented 2 / 3) on success, else a negative engine code:
// -2 transmit/receive, -5 nothing to do, -18 operation failed,
// -21 code read protection.
#pragma once

#include <cstddef>
#include <cstdint>

#include "isp/core/errorcodes.h"

namespace qz {

// Engine codes beyond those of the error table, by their short names.
constexpr int kEnginePassword = kEnginePasswordNeeded;
constexpr int kEngineI2c = kEngineI2cError;
constexpr int kEngineProtected = kEngineSecurityViolation;

int unlock_device();
int activate_bank(int bank);
int prepare_bank();
int erase_block(int sector);
int erase_bank();
// 2 when the sector is blank; 3 when not, with the first non-blank address in
// address_out[0..2], most significant first.
int blank_check_sector(int sector, std::uint8_t address_out[3]);
int go_command(std::uint32_t address, bool thumb);
int go_for_reset(std::uint32_t address, bool thumb);
int read_part_id(char* text, std::size_t capacity);
int read_boot_code_version(char* text, std::size_t capacity);
int read_serial_number(char* text, std::size_t capacity);
int binary_mode_on();
int binary_mode_off();
// Sends "A 1" without an echo (first letting an out-of-step line go quiet)
// and takes its "0", with the "A 1" echo of a part whose echo was on after
// all. 1 with the echo on; -2 when the line could not be written; -18 else.
int restore_echo();

// Sends a command and reads its return-code reply line into `reply`.
// 1 with the line read; -2 when the command could not be sent and -18 when
// no reply came (both after abort_command).
int command_reply(char* reply, std::size_t capacity, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// command_reply for a command whose reply is only a return code (or whose
// further lines the caller reads itself): -2 / -18 as there, else
// return_code_result of the reply.
int simple_command(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The engine code for a return-code reply: "0" gives 1, "19" (code read
// protection) -21, anything else -18.
int return_code_result(const char* reply);

// The number of the bank's last sector that the commands may prepare and
// erase, or -1 when the bank has no sectors.
int last_bank_sector();

// True when the commands carry the bank number (parts with two or more banks).
bool commands_take_bank();

// What the commands that take a bank append: " <bank>" when
// commands_take_bank(), else nothing.
struct BankSuffix {
    char text[16];
};
BankSuffix bank_suffix();

} // namespace qz
