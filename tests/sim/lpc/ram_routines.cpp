#include "tests/sim/lpc/ram_routines.h"

namespace sim::lpc {

namespace {

// -1 marks the one variable byte of a template.
constexpr int kAny = -1;

bool matches(const std::uint8_t* code, std::size_t size, const int* tmpl, std::size_t n, std::uint8_t* any)
{
    if (size < n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (tmpl[i] == kAny)
            *any = code[i];
        else if (code[i] != tmpl[i])
            return false;
    }
    return true;
}

std::uint32_t le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// ldr r0,[pc,#8]; mov.w r1,#vv; str r1,[r0]; bx lr; .align; .word reg
const int kMap17xx[] = {0x02, 0x48, 0x4F, 0xF0, kAny, 0x01, 0x01, 0x60, 0x70, 0x47, 0x00, 0x00,
                        0x40, 0xC0, 0x0F, 0x40};
const int kMap13xx[] = {0x02, 0x48, 0x4F, 0xF0, kAny, 0x01, 0x01, 0x60, 0x70, 0x47, 0x00, 0x00,
                        0x00, 0x80, 0x04, 0x40};
// ldr r0,[pc,#4]; movs r1,#vv; str r1,[r0]; bx lr; .word reg
const int kMap11xx[] = {0x01, 0x48, kAny, 0x21, 0x01, 0x60, 0x70, 0x47, 0x00, 0x80, 0x04, 0x40};
// ldr r4,[pc,#16]; ldr r6,[r4]; ldr r5,[r4,#4]; mov r0,r6; msr msp,r0; nop;
// isb; blx r5; .word table
const int kVectorStart[] = {0x04, 0x4C, 0x26, 0x68, 0x65, 0x68, 0x30, 0x46, 0x80, 0xF3,
                            0x08, 0x88, 0x00, 0xBF, 0xBF, 0xF3, 0x6F, 0x8F, 0xA8, 0x47};
// push; sub sp; ldr r4,=IAP; movs r0,#cmd; str r0,[sp,#4]; then four
// ldr/str pairs of the parameters; mov r1,sp; add r0,sp,#4; blx r4;
// add sp; pop; .word 0x1FFF1FF1, then the four parameter words.
const int kEeprom[] = {0x10, 0xB5, 0x86, 0xB0, 0x07, 0x4C, kAny, 0x20, 0x01, 0x90, 0x07, 0x48,
                       0x02, 0x90, 0x07, 0x48, 0x03, 0x90, 0x07, 0x48, 0x04, 0x90, 0x07, 0x48,
                       0x05, 0x90, 0x69, 0x46, 0x01, 0xA8, 0xA0, 0x47, 0x06, 0xB0, 0x10, 0xBD,
                       0xF1, 0x1F, 0xFF, 0x1F};

} // namespace

Routine identifyRoutine(const std::uint8_t* code, std::size_t size)
{
    Routine r;
    std::uint8_t any = 0;
    if (matches(code, size, kMap17xx, sizeof kMap17xx / sizeof *kMap17xx, &any) ||
        matches(code, size, kMap13xx, sizeof kMap13xx / sizeof *kMap13xx, &any)) {
        r.kind = RoutineKind::RegisterWrite;
        r.needsThumb2 = true;
        r.value = any;
        r.address = le32(code + 12);
        return r;
    }
    if (matches(code, size, kMap11xx, sizeof kMap11xx / sizeof *kMap11xx, &any)) {
        r.kind = RoutineKind::RegisterWrite;
        r.value = any;
        r.address = le32(code + 8);
        return r;
    }
    constexpr std::size_t kVs = sizeof kVectorStart / sizeof *kVectorStart;
    if (size >= kVs + 4 && matches(code, size, kVectorStart, kVs, &any)) {
        r.kind = RoutineKind::VectorTableStart;
        r.address = le32(code + kVs);
        return r;
    }
    constexpr std::size_t kEe = sizeof kEeprom / sizeof *kEeprom;
    if (size >= kEe + 16 && matches(code, size, kEeprom, kEe, &any) && (any == 0x3D || any == 0x3E)) {
        r.kind = any == 0x3D ? RoutineKind::EepromWrite : RoutineKind::EepromRead;
        r.eepromAddress = le32(code + kEe);
        r.ramAddress = le32(code + kEe + 4);
        r.length = le32(code + kEe + 8);
        r.clockKHz = le32(code + kEe + 12);
        return r;
    }
    return r;
}

} // namespace sim::lpc
