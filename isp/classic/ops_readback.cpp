// Verify and read-back of the classic parts, all through the dialect 1 read
// memory command.
#include "isp/classic/settings_ops.h"

#include "isp/classic/capabilities.h"
#include "isp/classic/classic_state.h"
#include "isp/classic/family_blocks.h"
#include "isp/classic/op_retry.h"
#include "isp/classic/read_range.h"
#include "isp/classic/readback_commands.h"
#include "isp/core/errorcodes.h"
#include "isp/core/hexwriter.h"
#include "isp/core/outputfile.h"
#include "isp/core/programsource.h"
#include "isp/core/result.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace qz {

namespace {

constexpr std::uint32_t kVerifyChunk = 256;
constexpr std::uint32_t kPiece = 16;

bool above_64k(const ClassicDeviceRecord& d) { return d.flash_size > 0x10000; }

HexAddressing addressing(const ClassicDeviceRecord& d)
{
    return above_64k(d) ? HexAddressing::kClassicWide : HexAddressing::kClassic;
}

// Expected bytes of the part with a mark on every address the file gives.
class VerifySink final : public ProgramSink {
public:
    VerifySink(const ClassicDeviceRecord& d, std::uint8_t* image, std::uint8_t* marks)
        : d_(d), image_(image), marks_(marks)
    {
    }

    Placement place(std::uint64_t address, const std::uint8_t* bytes, std::size_t count) override
    {
        const std::uint64_t last = address + count - 1;
        // The configuration and security pseudo-addresses of the LPC900
        // files are no flash; programming lifts them, so they are not read.
        if (record_dialect(d_) == kDialect2 && d_.flash_size <= 0xFFD8 && last > 0xFFD7)
            return {};
        if (last >= d_.flash_size) {
            Placement p;
            p.kind = Placement::kOutside;
            p.outside = address >= d_.flash_size ? address : d_.flash_size;
            return p;
        }
        std::memcpy(image_ + address, bytes, count);
        std::memset(marks_ + address, 1, count);
        return {};
    }

private:
    const ClassicDeviceRecord& d_;
    std::uint8_t* image_;
    std::uint8_t* marks_;
};

int read_tried(const ClassicDeviceRecord& d, std::uint32_t start, std::uint32_t end, std::uint8_t* out)
{
    return tried_until_done([&] { return d1_read_memory(d, start, end, out); });
}

} // namespace

IspResult* classic_verify(const char* hex_file, int skip_checksum_bytes, ProgressCallback cb, int user)
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::Verify))
        return r;
    const ClassicDeviceRecord& d = *selected_classic_device();
    const std::size_t size = d.flash_size;
    std::unique_ptr<std::uint8_t[]> image(new (std::nothrow) std::uint8_t[size]);
    std::unique_ptr<std::uint8_t[]> marks(new (std::nothrow) std::uint8_t[size]);
    if (!image || !marks)
        return set_result_f(kErrAllocate, "size : %lu bytes", static_cast<unsigned long>(size));
    std::memset(image.get(), d.erased_value, size);
    std::memset(marks.get(), 0, size);

    VerifySink sink(d, image.get(), marks.get());
    if (IspResult* failed = load_hex_source(hex_file, sink, addressing(d)))
        return failed;
    if (skip_checksum_bytes) {
        const FamilyBlockTable t = family_blocks(d.family);
        for (int i = 0; i < t.count; ++i)
            if (t.blocks[i].checksum_address < size)
                marks[t.blocks[i].checksum_address] = 0;
    }

    std::uint8_t read[kVerifyChunk];
    for (std::uint32_t chunk = 0; chunk < size; chunk += kVerifyChunk) {
        const std::uint32_t n = size - chunk < kVerifyChunk ? static_cast<std::uint32_t>(size - chunk) : kVerifyChunk;
        bool marked = false;
        for (std::uint32_t i = 0; i < n && !marked; ++i)
            marked = marks[chunk + i] != 0;
        if (!marked)
            continue;
        const int r = read_tried(d, chunk, chunk + n - 1, read);
        if (r != 1)
            return report_step_failure(r, "reading device", "(reading device)");
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint32_t a = chunk + i;
            if (marks[a] && read[i] != image[a])
                return above_64k(d) ? set_result_f(kErrVerify, "(address 0x%6.6lX)", static_cast<unsigned long>(a))
                                    : set_result_f(kErrVerify, "(address 0x%4.4X)", a);
        }
        if (!report_progress(cb, QZ_EVENT_CHUNK_VERIFIED, static_cast<int>(chunk), 0, user))
            return isp_result();
    }
    return set_success();
}

IspResult* classic_read_data(unsigned start, unsigned end, const char* out_file, ProgressCallback cb, int user)
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::ReadData))
        return r;
    const ClassicDeviceRecord& d = *selected_classic_device();
    if (IspResult* r = check_read_range(d, start, end))
        return r;
    // A read-out that does not come to its end leaves the named file as it
    // was: what is left of it could be taken for the part's whole contents.
    OutputFile file;
    if (!file.open(out_file))
        return set_result(kErrCreateFile, out_file ? out_file : "");

    char record[hex_record_length(kPiece) + 1];
    bool upper_written = false;
    std::uint32_t upper = 0;
    int pieces = 0;
    for (std::uint64_t a = start; a <= end;) {
        // A piece also ends where the 16-bit record address would wrap.
        std::uint64_t last = a + kPiece - 1;
        if (last > (a | 0xFFFF))
            last = a | 0xFFFF;
        if (last > end)
            last = end;
        const std::uint32_t from = static_cast<std::uint32_t>(a);
        const std::uint32_t n = static_cast<std::uint32_t>(last - a + 1);
        std::uint8_t data[kPiece];
        const int r = read_tried(d, from, from + n - 1, data);
        if (r != 1)
            return report_engine_failure(r, "reading data");
        if (above_64k(d) && (!upper_written || (from >> 16) != upper)) {
            upper = from >> 16;
            upper_written = true;
            const std::size_t length =
                make_linear_address_record(static_cast<std::uint16_t>(upper), record, sizeof record);
            if (!file.write_line(record, length))
                return set_result(kErrCreateFile, out_file);
        }
        const std::size_t length =
            make_data_record(static_cast<std::uint16_t>(from & 0xFFFF), n, data, record, sizeof record);
        if (!file.write_line(record, length))
            return set_result(kErrCreateFile, out_file);
        if (++pieces % 10 == 0 && !report_progress(cb, QZ_EVENT_READ_PROGRESS, static_cast<int>(from), 256, user))
            return isp_result();
        a = last + 1;
    }
    if (!file.write_line(kHexEndRecord, sizeof kHexEndRecord - 1) || !file.commit())
        return set_result(kErrCreateFile, out_file);
    return set_success();
}

IspResult* classic_read_data_to_buffer(unsigned start, unsigned end, unsigned char* buffer, ProgressCallback cb,
                                       int user)
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::ReadDataToBuffer))
        return r;
    const ClassicDeviceRecord& d = *selected_classic_device();
    if (IspResult* r = check_read_range(d, start, end))
        return r;
    if (!buffer)
        return set_result(kErrInvalidValue, "(no buffer)");
    std::uint64_t group = start;
    for (std::uint64_t a = start; a <= end; a += kPiece) {
        const std::uint64_t last = a + kPiece - 1 > end ? end : a + kPiece - 1;
        const std::uint32_t from = static_cast<std::uint32_t>(a);
        const int r = read_tried(d, from, static_cast<std::uint32_t>(last), buffer + (a - start));
        if (r != 1)
            return report_engine_failure(r, "reading data");
        if (last - group + 1 == kVerifyChunk) {
            if (!report_progress(cb, QZ_EVENT_READ_PROGRESS, static_cast<int>(group), 256, user))
                return isp_result();
            group = last + 1;
        }
    }
    // A last group short of 256 bytes is reported too; it cannot cancel
    // what is already read.
    if (group <= end && cb)
        cb(QZ_EVENT_READ_PROGRESS, static_cast<int>(group), 256, user);
    return set_success();
}

} // namespace qz
