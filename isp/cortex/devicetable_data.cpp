// The device table's data. Each row holds what tells the parts apart: id,
// name, flash banks (start, end inclusive, sector table type), RAM end,
// staging buffer offset, vector-map routine and the protocol traits; every
// other field has the value all Cortex parts share.
#include "isp/cortex/devicetable.h"

namespace qz {

namespace {

struct BankSlots {
    FlashBank slot[kBankSlots];
};

constexpr FlashBank bank(std::uint32_t start, std::uint32_t end, std::uint32_t type)
{
    return FlashBank{start, end, type, 0x1C, 0x2FC};
}

constexpr BankSlots kNoFlash{};

constexpr BankSlots banks(FlashBank first)
{
    BankSlots b{};
    b.slot[0] = first;
    return b;
}

constexpr BankSlots banks(FlashBank first, FlashBank second)
{
    BankSlots b{};
    b.slot[0] = first;
    b.slot[1] = second;
    return b;
}

// What a part family does differently from the common record.
struct Traits {
    std::int32_t id_word_count;
    std::uint8_t keep_vector_checksum;
    std::uint8_t crlf;
    std::uint8_t binary_transfer;
    std::uint32_t program_block_size;
    std::uint32_t ram_chunk_size;
    std::int32_t eeprom_allowed;
};

constexpr Traits kPlain{1, 0, 0, 0, 0x400, 900, 0};
constexpr Traits kLpc18Flashless{2, 0, 1, 0, 0x0, 900, 0};  // LPC18xx/43xx without flash
constexpr Traits kLpc18Flash{2, 1, 1, 0, 0x400, 900, 0};    // LPC18xx/43xx with flash
constexpr Traits kLpc81x{1, 0, 1, 1, 0x400, 900, 0};
constexpr Traits kLpc810{1, 0, 1, 1, 0x100, 256, 0};
constexpr Traits kSmallBlocks{1, 0, 0, 0, 0x100, 256, 0};   // LPC1110
constexpr Traits kEeprom{1, 0, 0, 0, 0x400, 900, 1};

constexpr VectorMapKind kNoMap = VectorMapKind::None;
constexpr VectorMapKind kMap17 = VectorMapKind::Lpc17xx;
constexpr VectorMapKind kMap13 = VectorMapKind::Lpc13xx;
constexpr VectorMapKind kMap11 = VectorMapKind::Lpc11xx;

constexpr std::uint32_t kRamStart = 0x10000000;
constexpr std::uint32_t kBootRomBase = 0x1FFF0000;

constexpr CortexDeviceRecord part(std::int32_t id, const char* name, BankSlots b, std::uint32_t ram_end,
                                  std::uint32_t buffer_offset, VectorMapKind map, Traits t)
{
    CortexDeviceRecord r{};
    r.id = id;
    r.name = name;
    for (int i = 0; i < kBankSlots; ++i)
        r.banks[i] = b.slot[i];
    r.id_word_count = t.id_word_count;
    r.keep_vector_checksum = t.keep_vector_checksum;
    r.crlf = t.crlf;
    r.binary_transfer = t.binary_transfer;
    r.program_block_size = t.program_block_size;
    r.ram_chunk_size = t.ram_chunk_size;
    r.fill_byte = 0xFF;
    r.has_flash = (b.slot[0].start != 0 || b.slot[0].end != 0) ? 1 : 0;
    r.ram_start = kRamStart;
    r.ram_end = ram_end;
    r.ram_buffer_offset = buffer_offset;
    r.high_speed_allowed = 1;
    r.comm_reserved = 1;
    r.sync_char = '?';
    r.go_allowed = 1;
    r.read_allowed = 1;
    r.boot_rom_base = kBootRomBase;
    r.bootloader_update_allowed = 0;
    r.vector_map = map;
    r.map_when = 0;
    r.eeprom_allowed = t.eeprom_allowed;
    return r;
}

// The end of the table: id 0, no flash, an empty name for log lines.
constexpr CortexDeviceRecord end_record()
{
    CortexDeviceRecord r{};
    r.name = "";
    return r;
}

const CortexDeviceRecord kTable[kCortexDeviceCount + 1] = {
    part(18000, "LPC1850", kNoFlash, 0x10017FFF, 0x300, kNoMap, kLpc18Flashless),
    part(18003, "LPC1830", kNoFlash, 0x10017FFF, 0x300, kNoMap, kLpc18Flashless),
    part(18004, "LPC1820", kNoFlash, 0x10017FFF, 0x300, kNoMap, kLpc18Flashless),
    part(18005, "LPC1810", kNoFlash, 0x1000FFFF, 0x300, kNoMap, kLpc18Flashless),
    part(18001, "LPC1853", banks(bank(0x1A000000, 0x1A03FFFF, 2), bank(0x1B000000, 0x1B03FFFF, 3)),
         0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(18002, "LPC1857", banks(bank(0x1A000000, 0x1A07FFFF, 2), bank(0x1B000000, 0x1B07FFFF, 3)),
         0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(18006, "LPC1837", banks(bank(0x1A000000, 0x1A07FFFF, 2), bank(0x1B000000, 0x1B07FFFF, 3)),
         0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(18007, "LPC1833", banks(bank(0x1A000000, 0x1A03FFFF, 2), bank(0x1B000000, 0x1B03FFFF, 3)),
         0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(18008, "LPC1827", banks(bank(0x1A000000, 0x1A07FFFF, 2), bank(0x1B000000, 0x1B07FFFF, 3)),
         0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(18009, "LPC1825", banks(bank(0x1A000000, 0x1A05FFFF, 2), bank(0x1B000000, 0x1B05FFFF, 3)),
         0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(18010, "LPC1823", banks(bank(0x1A000000, 0x1A03FFFF, 2), bank(0x1B000000, 0x1B03FFFF, 3)),
         0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(18011, "LPC1822", banks(bank(0x1A000000, 0x1A03FFFF, 2)), 0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(18012, "LPC1817", banks(bank(0x1A000000, 0x1A07FFFF, 2), bank(0x1B000000, 0x1B07FFFF, 3)),
         0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(18013, "LPC1815", banks(bank(0x1A000000, 0x1A05FFFF, 2), bank(0x1B000000, 0x1B05FFFF, 3)),
         0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(18014, "LPC1813", banks(bank(0x1A000000, 0x1A03FFFF, 2), bank(0x1B000000, 0x1B03FFFF, 3)),
         0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(18015, "LPC1812", banks(bank(0x1A000000, 0x1A03FFFF, 2)), 0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(19004, "LPC4072", banks(bank(0x00000000, 0x0000FFFF, 0)), 0x10005FFF, 0x200, kMap17, kPlain),
    part(19005, "LPC4074", banks(bank(0x00000000, 0x0001FFFF, 0)), 0x10009FFF, 0x200, kMap17, kPlain),
    part(19006, "LPC4076", banks(bank(0x00000000, 0x0003FFFF, 0)), 0x1000FFFF, 0x200, kMap17, kPlain),
    part(19001, "LPC4078", banks(bank(0x00000000, 0x0007FFFF, 0)), 0x1000FFFF, 0x200, kMap17, kPlain),
    part(19002, "LPC4088", banks(bank(0x00000000, 0x0007FFFF, 0)), 0x1000FFFF, 0x200, kMap17, kPlain),
    part(19000, "LPC4350", kNoFlash, 0x1001FFFF, 0x300, kNoMap, kLpc18Flashless),
    part(19007, "LPC4330", kNoFlash, 0x1001FFFF, 0x300, kNoMap, kLpc18Flashless),
    part(19008, "LPC4320", kNoFlash, 0x10017FFF, 0x300, kNoMap, kLpc18Flashless),
    part(19009, "LPC4310", kNoFlash, 0x10017FFF, 0x300, kNoMap, kLpc18Flashless),
    part(19003, "LPC4357", banks(bank(0x1A000000, 0x1A07FFFF, 2), bank(0x1B000000, 0x1B07FFFF, 3)),
         0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(19010, "LPC4353", banks(bank(0x1A000000, 0x1A03FFFF, 2), bank(0x1B000000, 0x1B03FFFF, 3)),
         0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(19011, "LPC4337", banks(bank(0x1A000000, 0x1A07FFFF, 2), bank(0x1B000000, 0x1B07FFFF, 3)),
         0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(19012, "LPC4333", banks(bank(0x1A000000, 0x1A03FFFF, 2), bank(0x1B000000, 0x1B03FFFF, 3)),
         0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(19013, "LPC4327", banks(bank(0x1A000000, 0x1A07FFFF, 2), bank(0x1B000000, 0x1B07FFFF, 3)),
         0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(19014, "LPC4325", banks(bank(0x1A000000, 0x1A05FFFF, 2), bank(0x1B000000, 0x1B05FFFF, 3)),
         0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(19015, "LPC4323", banks(bank(0x1A000000, 0x1A03FFFF, 2), bank(0x1B000000, 0x1B03FFFF, 3)),
         0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(19016, "LPC4322", banks(bank(0x1A000000, 0x1A07FFFF, 2)), 0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(19017, "LPC4317", banks(bank(0x1A000000, 0x1A07FFFF, 2), bank(0x1B000000, 0x1B07FFFF, 3)),
         0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(19018, "LPC4315", banks(bank(0x1A000000, 0x1A05FFFF, 2), bank(0x1B000000, 0x1B05FFFF, 3)),
         0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(19019, "LPC4313", banks(bank(0x1A000000, 0x1A03FFFF, 2), bank(0x1B000000, 0x1B03FFFF, 3)),
         0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(19020, "LPC4312", banks(bank(0x1A000000, 0x1A07FFFF, 2)), 0x10007FFF, 0x300, kNoMap, kLpc18Flash),
    part(2008, "LPC1768", banks(bank(0x00000000, 0x0007FFFF, 0)), 0x10007FFF, 0x200, kMap17, kPlain),
    part(2009, "LPC1767", banks(bank(0x00000000, 0x0007FFFF, 0)), 0x10007FFF, 0x200, kMap17, kPlain),
    part(2007, "LPC1766", banks(bank(0x00000000, 0x0003FFFF, 0)), 0x10007FFF, 0x200, kMap17, kPlain),
    part(2006, "LPC1765", banks(bank(0x00000000, 0x0003FFFF, 0)), 0x10007FFF, 0x200, kMap17, kPlain),
    part(2005, "LPC1764", banks(bank(0x00000000, 0x0001FFFF, 0)), 0x10007FFF, 0x200, kMap17, kPlain),
    part(2004, "LPC1758", banks(bank(0x00000000, 0x0007FFFF, 0)), 0x10007FFF, 0x200, kMap17, kPlain),
    part(2003, "LPC1756", banks(bank(0x00000000, 0x0003FFFF, 0)), 0x10007FFF, 0x200, kMap17, kPlain),
    part(2002, "LPC1754", banks(bank(0x00000000, 0x0001FFFF, 0)), 0x10007FFF, 0x200, kMap17, kPlain),
    part(2001, "LPC1752", banks(bank(0x00000000, 0x0000FFFF, 0)), 0x10003FFF, 0x200, kMap17, kPlain),
    part(2000, "LPC1751", banks(bank(0x00000000, 0x00007FFF, 0)), 0x10001FFF, 0x200, kMap17, kPlain),
    part(2010, "LPC1759", banks(bank(0x00000000, 0x0007FFFF, 0)), 0x10007FFF, 0x200, kMap17, kPlain),
    part(2011, "LPC1769", banks(bank(0x00000000, 0x0007FFFF, 0)), 0x10007FFF, 0x200, kMap17, kPlain),
    part(2012, "LPC1763", banks(bank(0x00000000, 0x0003FFFF, 0)), 0x10007FFF, 0x200, kMap17, kPlain),
    part(2013, "LPC1774", banks(bank(0x00000000, 0x0001FFFF, 0)), 0x10007FFF, 0x200, kMap17, kPlain),
    part(2014, "LPC1776", banks(bank(0x00000000, 0x0003FFFF, 0)), 0x1000FFFF, 0x200, kMap17, kPlain),
    part(2015, "LPC1777", banks(bank(0x00000000, 0x0007FFFF, 0)), 0x1000FFFF, 0x200, kMap17, kPlain),
    part(2016, "LPC1778", banks(bank(0x00000000, 0x0007FFFF, 0)), 0x1000FFFF, 0x200, kMap17, kPlain),
    part(2017, "LPC1785", banks(bank(0x00000000, 0x0003FFFF, 0)), 0x1000FFFF, 0x200, kMap17, kPlain),
    part(2018, "LPC1786", banks(bank(0x00000000, 0x0003FFFF, 0)), 0x1000FFFF, 0x200, kMap17, kPlain),
    part(2019, "LPC1787", banks(bank(0x00000000, 0x0007FFFF, 0)), 0x1000FFFF, 0x200, kMap17, kPlain),
    part(2020, "LPC1788", banks(bank(0x00000000, 0x0007FFFF, 0)), 0x1000FFFF, 0x200, kMap17, kPlain),
    part(2021, "ASC3101", banks(bank(0x00000000, 0x0001FFFF, 0)), 0x10003FFF, 0x200, kMap17, kPlain),
    part(2022, "ASC3112", banks(bank(0x00000000, 0x0003FFFF, 0)), 0x10003FFF, 0x200, kMap17, kPlain),
    part(3000, "LPC1311", banks(bank(0x00000000, 0x00001FFF, 0)), 0x100007FF, 0x300, kMap13, kPlain),
    part(3004, "LPC1311/01", banks(bank(0x00000000, 0x00001FFF, 0)), 0x100007FF, 0x300, kMap13, kPlain),
    part(3001, "LPC1313", banks(bank(0x00000000, 0x00007FFF, 0)), 0x10001FFF, 0x300, kMap13, kPlain),
    part(3005, "LPC1313/01", banks(bank(0x00000000, 0x00007FFF, 0)), 0x10001FFF, 0x300, kMap13, kPlain),
    part(3002, "LPC1342", banks(bank(0x00000000, 0x00003FFF, 0)), 0x10000FFF, 0x300, kMap13, kPlain),
    part(3003, "LPC1343", banks(bank(0x00000000, 0x00007FFF, 0)), 0x10001FFF, 0x300, kMap13, kPlain),
    part(3006, "LPC1315", banks(bank(0x00000000, 0x00007FFF, 0)), 0x10001FFF, 0x300, kMap13, kPlain),
    part(3007, "LPC1316", banks(bank(0x00000000, 0x0000BFFF, 0)), 0x10001FFF, 0x300, kMap13, kPlain),
    part(3008, "LPC1317", banks(bank(0x00000000, 0x0000FFFF, 0)), 0x10001FFF, 0x300, kMap13, kPlain),
    part(3009, "LPC1345", banks(bank(0x00000000, 0x00007FFF, 0)), 0x10001FFF, 0x300, kMap13, kPlain),
    part(3010, "LPC1346", banks(bank(0x00000000, 0x0000BFFF, 0)), 0x10001FFF, 0x300, kMap13, kPlain),
    part(3011, "LPC1347", banks(bank(0x00000000, 0x0000FFFF, 0)), 0x10001FFF, 0x300, kMap13, kPlain),
    part(4023, "LPC1102UK", banks(bank(0x00000000, 0x00007FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4028, "LPC1110", banks(bank(0x00000000, 0x00000FFF, 1)), 0x100003FF, 0x200, kMap11, kSmallBlocks),
    part(4029, "LPC1111/002", banks(bank(0x00000000, 0x00001FFF, 1)), 0x100007FF, 0x300, kMap11, kPlain),
    part(4000, "LPC1111/101", banks(bank(0x00000000, 0x00001FFF, 1)), 0x100007FF, 0x300, kMap11, kPlain),
    part(4010, "LPC1111/102", banks(bank(0x00000000, 0x00001FFF, 1)), 0x100007FF, 0x300, kMap11, kPlain),
    part(4001, "LPC1111/201", banks(bank(0x00000000, 0x00001FFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(4011, "LPC1111/202", banks(bank(0x00000000, 0x00001FFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(4002, "LPC1112/101", banks(bank(0x00000000, 0x00003FFF, 1)), 0x100007FF, 0x300, kMap11, kPlain),
    part(4012, "LPC1112/102", banks(bank(0x00000000, 0x00003FFF, 1)), 0x100007FF, 0x300, kMap11, kPlain),
    part(4003, "LPC1112/201", banks(bank(0x00000000, 0x00003FFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(4013, "LPC1112/202", banks(bank(0x00000000, 0x00003FFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(4004, "LPC1113/201", banks(bank(0x00000000, 0x00005FFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(4014, "LPC1113/202", banks(bank(0x00000000, 0x00005FFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(4005, "LPC1113/301", banks(bank(0x00000000, 0x00005FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4015, "LPC1113/302", banks(bank(0x00000000, 0x00005FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4030, "LPC1114/102", banks(bank(0x00000000, 0x00007FFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(4006, "LPC1114/201", banks(bank(0x00000000, 0x00007FFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(4016, "LPC1114/202", banks(bank(0x00000000, 0x00007FFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(4007, "LPC1114/301", banks(bank(0x00000000, 0x00007FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4017, "LPC1114/302", banks(bank(0x00000000, 0x00007FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4027, "LPC11D14/302", banks(bank(0x00000000, 0x00007FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4046, "LPC1111/103", banks(bank(0x00000000, 0x00001FFF, 1)), 0x100007FF, 0x300, kMap11, kPlain),
    part(4047, "LPC1111/203", banks(bank(0x00000000, 0x00001FFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(4048, "LPC1112/103", banks(bank(0x00000000, 0x00003FFF, 1)), 0x100007FF, 0x300, kMap11, kPlain),
    part(4049, "LPC1112/203", banks(bank(0x00000000, 0x00003FFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(4050, "LPC1113/203", banks(bank(0x00000000, 0x00005FFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(4051, "LPC1113/303", banks(bank(0x00000000, 0x00005FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4052, "LPC1114/203", banks(bank(0x00000000, 0x00007FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4053, "LPC1114/303", banks(bank(0x00000000, 0x00007FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4054, "LPC1114/323", banks(bank(0x00000000, 0x0000BFFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4055, "LPC1114/333", banks(bank(0x00000000, 0x0000DFFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4056, "LPC1115/303", banks(bank(0x00000000, 0x0000FFFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4063, "LPC1101LVUK", banks(bank(0x00000000, 0x00007FFF, 1)), 0x100007FF, 0x300, kMap11, kPlain),
    part(4064, "LPC1102LVUK", banks(bank(0x00000000, 0x00007FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4065, "LPC1112LV003", banks(bank(0x00000000, 0x00003FFF, 1)), 0x100007FF, 0x300, kMap11, kPlain),
    part(4066, "LPC1114LV103", banks(bank(0x00000000, 0x00007FFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(4067, "LPC1114LV303", banks(bank(0x00000000, 0x00007FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4068, "LPC1112LV103", banks(bank(0x00000000, 0x00003FFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(4042, "LPC11E11/101", banks(bank(0x00000000, 0x00001FFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(4043, "LPC11E12/201", banks(bank(0x00000000, 0x00003FFF, 1)), 0x100017FF, 0x300, kMap11, kPlain),
    part(4044, "LPC11E13/301", banks(bank(0x00000000, 0x00005FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4045, "LPC11E14/401", banks(bank(0x00000000, 0x00007FFF, 1)), 0x100027FF, 0x300, kMap11, kPlain),
    part(4069, "LPC11E36/501", banks(bank(0x00000000, 0x00017FFF, 1)), 0x10002FFF, 0x300, kMap11, kPlain),
    part(4070, "LPC11E37/501", banks(bank(0x00000000, 0x0001FFFF, 1)), 0x10002FFF, 0x300, kMap11, kPlain),
    part(4024, "LPC11U12/201", banks(bank(0x00000000, 0x00003FFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(4025, "LPC11U13/201", banks(bank(0x00000000, 0x00005FFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(4026, "LPC11U14/201", banks(bank(0x00000000, 0x00007FFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(4039, "LPC11U23/301", banks(bank(0x00000000, 0x00005FFF, 1)), 0x100017FF, 0x300, kMap11, kPlain),
    part(4040, "LPC11U24/301", banks(bank(0x00000000, 0x00007FFF, 1)), 0x100017FF, 0x300, kMap11, kPlain),
    part(4041, "LPC11U24/401", banks(bank(0x00000000, 0x00007FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4018, "LPC1122/202", banks(bank(0x00000000, 0x00003FFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(4019, "LPC1123/302", banks(bank(0x00000000, 0x00005FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4020, "LPC1124/302", banks(bank(0x00000000, 0x00007FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4008, "LPC11C12/301", banks(bank(0x00000000, 0x00003FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4009, "LPC11C14/301", banks(bank(0x00000000, 0x00007FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4021, "LPC11C22/301", banks(bank(0x00000000, 0x00003FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4022, "LPC11C24/301", banks(bank(0x00000000, 0x00007FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4031, "LPC11U34/311", banks(bank(0x00000000, 0x00009FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4032, "LPC11U34/421", banks(bank(0x00000000, 0x0000BFFF, 1)), 0x100027FF, 0x300, kMap11, kPlain),
    part(4033, "LPC11U35/401", banks(bank(0x00000000, 0x0000FFFF, 1)), 0x100027FF, 0x300, kMap11, kPlain),
    part(4034, "LPC11U35/501", banks(bank(0x00000000, 0x0000FFFF, 1)), 0x10002FFF, 0x300, kMap11, kPlain),
    part(4035, "LPC11U36/401", banks(bank(0x00000000, 0x00017FFF, 1)), 0x100027FF, 0x300, kMap11, kPlain),
    part(4037, "LPC11U37/401", banks(bank(0x00000000, 0x0001FFFF, 1)), 0x100027FF, 0x300, kMap11, kPlain),
    part(4036, "LPC11U37/501", banks(bank(0x00000000, 0x0001FFFF, 1)), 0x10002FFF, 0x300, kMap11, kPlain),
    part(4038, "LPC11H35/401", banks(bank(0x00000000, 0x0000FFFF, 1)), 0x100027FF, 0x300, kMap11, kPlain),
    part(4058, "LPC11A02UK", banks(bank(0x00000000, 0x00003FFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(4059, "LPC11A04UK", banks(bank(0x00000000, 0x00007FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(4060, "LPC11A11/001", banks(bank(0x00000000, 0x00001FFF, 1)), 0x100007FF, 0x300, kMap11, kPlain),
    part(4061, "LPC11A12/101", banks(bank(0x00000000, 0x00003FFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(4062, "LPC11A13/201", banks(bank(0x00000000, 0x00005FFF, 1)), 0x100017FF, 0x300, kMap11, kPlain),
    part(4057, "LPC11A14/301", banks(bank(0x00000000, 0x00007FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(11000, "EM773", banks(bank(0x00000000, 0x00007FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(12000, "LPC1224/101", banks(bank(0x00000000, 0x00007FFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(12001, "LPC1224/121", banks(bank(0x00000000, 0x0000BFFF, 1)), 0x10000FFF, 0x300, kMap11, kPlain),
    part(12002, "LPC1225/301", banks(bank(0x00000000, 0x0000FFFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(12003, "LPC1225/321", banks(bank(0x00000000, 0x00013FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(12004, "LPC1226/301", banks(bank(0x00000000, 0x00017FFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(12005, "LPC1227/301", banks(bank(0x00000000, 0x0001FFFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(12006, "LPC12D27/301", banks(bank(0x00000000, 0x0001FFFF, 1)), 0x10001FFF, 0x300, kMap11, kPlain),
    part(20000, "LPC810M021FN8", banks(bank(0x00000000, 0x00000FFF, 4)), 0x100003FF, 0x200, kNoMap, kLpc810),
    part(20001, "LPC811M001FDH16", banks(bank(0x00000000, 0x00001FFF, 4)),
         0x100007FF, 0x300, kNoMap, kLpc81x),
    part(20002, "LPC811M101FDH16", banks(bank(0x00000000, 0x00003FFF, 4)),
         0x10000FFF, 0x300, kNoMap, kLpc81x),
    part(20003, "LPC811M101FD20", banks(bank(0x00000000, 0x00003FFF, 4)), 0x10000FFF, 0x300, kNoMap, kLpc81x),
    part(20004, "LPC811M101FDH20", banks(bank(0x00000000, 0x00003FFF, 4)),
         0x10000FFF, 0x300, kNoMap, kLpc81x),
    part(11001, "DAP-S/01", banks(bank(0x00000000, 0x00007FFF, 1)), 0x10001FFF, 0x300, kMap11, kEeprom),
    end_record(),
};

} // namespace

const CortexDeviceRecord* cortex_device_table()
{
    return kTable;
}

} // namespace qz
