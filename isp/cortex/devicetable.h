// The NXP Cortex parts the library can program, keyed by device id. Every
// size, address and protocol choice that talks to a part comes from its
// record; the record's position in the table is the device index that the
// driver state keeps.
#pragma once

#include <cstdint>

#include "isp/cortex/ramroutines.h"
#include "isp/cortex/sectortables.h"

namespace qz {

struct FlashBank {
    std::uint32_t start;
    std::uint32_t end; // inclusive
    std::uint32_t sector_table;
    std::uint32_t vector_checksum_address;
    std::uint32_t crp_address;
};

// Bank slots of a record: the banks in use, then an all-zero slot.
constexpr int kBankSlots = 10;

struct CortexDeviceRecord {
    std::int32_t id;
    const char* name;
    FlashBank banks[kBankSlots];
    std::int32_t id_word_count; // 32-bit words of the "J" answer

    // Transfer flags.
    std::uint8_t keep_vector_checksum; // a vector checksum the image sets is kept
    std::uint8_t crlf;                 // commands end with CR LF instead of CR
    std::uint8_t binary_transfer;      // data moves as raw bytes, not UU lines
    std::uint8_t transfer_reserved;

    std::uint32_t program_block_size; // bytes per copy to flash; 0 without flash
    std::uint32_t ram_chunk_size;     // bytes per write to RAM

    // Fill word.
    std::uint8_t fill_byte; // value of an unprogrammed image byte
    std::uint8_t has_flash;
    std::uint8_t fill_reserved[2];

    std::uint32_t ram_start;
    std::uint32_t ram_end;           // inclusive
    std::uint32_t ram_buffer_offset; // staging buffer for flash copies, from RAM start

    // Communication flags.
    std::uint8_t high_speed_allowed;
    std::uint8_t comm_reserved;
    std::uint8_t sync_char; // autobaud character
    std::uint8_t go_allowed;

    std::int32_t read_allowed;
    std::uint32_t boot_rom_base; // the flash image never reaches past it
    std::int32_t bootloader_update_allowed;
    VectorMapKind vector_map;
    std::int32_t map_when; // set: map after connect and at disconnect; clear: around low reads
    std::int32_t eeprom_allowed;
};

constexpr int kCortexDeviceCount = 157;

// The table: kCortexDeviceCount records, then one whose id is 0.
const CortexDeviceRecord* cortex_device_table();

// Index of the last record with this id, or -1 (id 0 is the end, not a part).
int cortex_device_index(std::int32_t id);

// The record at a device index; an index outside the table gives the
// all-zero end record, which has no flash.
const CortexDeviceRecord& cortex_device_at(int index);

// The last record with this id, or nullptr.
const CortexDeviceRecord* find_cortex_device(std::int32_t id);

// Number of flash banks: the first slot whose start and end are both 0.
int bank_count(const CortexDeviceRecord& device);

// Bank `bank` of a record; a number at or beyond the bank count gives an
// all-zero bank (no flash) rather than reading past the slots.
const FlashBank& device_bank(const CortexDeviceRecord& device, std::uint32_t bank);

// Sectors of `table` that lie in the bank; 0 for an all-zero bank.
int sector_count(const SectorTable& table, const FlashBank& bank);

} // namespace qz
