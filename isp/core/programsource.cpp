#include "isp/core/programsource.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "isp/core/errorcodes.h"
#include "isp/core/hexgenerator.h"
#include "isp/core/jitmodule.h"
#include "isp/core/ops_common.h"
#include "isp/core/result.h"
#include "platform/tempfile.h"

namespace qz {

namespace {

constexpr std::size_t kTaskDataSize = sizeof(ProductionTask{}.data);
constexpr std::size_t kTaskPathSize = sizeof(ProductionTask{}.path);

// A source's two texts: when it cannot be had, and when what it holds is
// unusable (followed by the line or address that shows why).
struct SourceTexts {
    const char* unavailable;
    const char* unusable;
};

const SourceTexts kHexFile{"Reselect the Hex file.", "Reselect the Hex file."};
const SourceTexts kJitData{"Unable to open the JIT data file.", "Check the JIT data file."};
const SourceTexts kTaskHex{"Unable to open the production task hex file.", "Check the production task hex file."};
const SourceTexts kTaskBinary{"Unable to open the production task binary file.",
                              "Check the production task binary file."};
const SourceTexts kGenerator{"The hex generator production task failed or didn't generate output.",
                             "Check the hex generator production task's output."};

IspResult* report_outside(int code, const char* text, std::uint64_t address)
{
    return set_result_f(code, "%s (address 0x%08llX outside the part)", text,
                        static_cast<unsigned long long>(address));
}

IspResult* report_fault(const HexFault& fault, const SourceTexts& texts)
{
    switch (fault.kind) {
    case HexFault::kNone:
        return nullptr;
    case HexFault::kNoData:
        return set_result_f(kErrOpenHexFile, "%s (no data record)", texts.unusable);
    case HexFault::kOutside:
        return report_outside(kErrOpenHexFile, texts.unusable, fault.address);
    case HexFault::kRead:
        return set_result_f(kErrOpenHexFile, "%s (read error)", texts.unavailable);
    default:
        return set_result_f(fault.kind == HexFault::kChecksum ? kErrHexChecksum : kErrOpenHexFile,
                            "%s (line %u: %s)", texts.unusable, fault.line, hex_fault_words(fault.kind));
    }
}

IspResult* load_hex_path(const char* path, ProgramSink& sink, HexAddressing addressing, const SourceTexts& texts)
{
    std::FILE* f = open_file_retry(path, "rb");
    if (f == nullptr)
        return set_result(kErrOpenHexFile, texts.unavailable);
    const HexFault fault = read_hex_into(f, sink, addressing);
    std::fclose(f);
    return report_fault(fault, texts);
}

// Bytes with no HEX lines around them (direct entry, binary file): the
// sink alone can refuse them.
IspResult* place_bytes(ProgramSink& sink, std::uint64_t address, const std::uint8_t* bytes, std::size_t count,
                       int code, const char* text)
{
    const Placement p = sink.place(address, bytes, count);
    return p.kind == Placement::kOutside ? report_outside(code, text, p.outside) : nullptr;
}

IspResult* load_jit(const ProgramSources& s, ProgramSink& sink)
{
    std::string data_path;
    std::string message;
    std::string error;
    const int r = run_jit_module(s.jit_module, s.jit_arguments ? s.jit_arguments : "", &data_path, &message,
                                 kJitMessageSize, s.jit_timeout_s, &error);
    // The data file is the one the run made in the temporary folder; unlink
    // takes only that name away, never a folder the module left there.
    if (report_jit_message(s.cb, s.user, message) == 0) {
        if (r == 1)
            platform::removeFile(data_path);
        return set_result(kErrCancelled);
    }
    if (r != 1)
        return set_result(kErrJustInTime, error.c_str());
    IspResult* failed = load_hex_path(data_path.c_str(), sink, s.addressing, kJitData);
    platform::removeFile(data_path);
    return failed;
}

IspResult* load_binary(const ProductionTask& task, const std::string& path, ProgramSink& sink)
{
    std::FILE* f = open_file_retry(path.c_str(), "rb");
    if (f == nullptr)
        return set_result(kErrOpenHexFile, kTaskBinary.unavailable);
    std::uint64_t address = task.address;
    std::uint8_t piece[4096];
    std::size_t n = 0;
    IspResult* failed = nullptr;
    while (failed == nullptr && (n = std::fread(piece, 1, sizeof piece, f)) > 0) {
        failed = place_bytes(sink, address, piece, n, kErrOpenHexFile, kTaskBinary.unusable);
        address += n;
    }
    // A read that broke off must not pass for the whole file.
    if (failed == nullptr && std::ferror(f))
        failed = set_result_f(kErrOpenHexFile, "%s (read error)", kTaskBinary.unavailable);
    std::fclose(f);
    return failed;
}

IspResult* load_task(const ProductionTask& task, const ProgramSources& s, ProgramSink& sink)
{
    const std::string path(task.path, strnlen(task.path, kTaskPathSize));
    switch (task.type) {
    case QZ_TASK_DIRECT_DATA:
        if (task.count == 0)
            return set_result(kErrProgramHex, "The direct entry production task requires data to program.");
        if (task.count > kTaskDataSize)
            return set_result(kErrProgramHex,
                              "The direct entry production task holds more bytes than its data field.");
        return place_bytes(sink, task.address, task.data, task.count, kErrProgramHex,
                           "Check the direct entry production task.");
    case QZ_TASK_HEX_FILE:
        return load_hex_path(path.c_str(), sink, s.addressing, kTaskHex);
    case QZ_TASK_BINARY_FILE:
        return load_binary(task, path, sink);
    case QZ_TASK_HEX_GENERATOR: {
        std::string output;
        if (run_and_capture(path.c_str(), &output) == 0)
            return set_result(kErrOpenHexFile, kGenerator.unavailable);
        return report_fault(read_hex_into(output.c_str(), sink, s.addressing), kGenerator);
    }
    default:
        return nullptr;
    }
}

} // namespace

IspResult* load_program_sources(const ProgramSources& s, ProgramSink& sink)
{
    // Tasks named but not given would be skipped, and the run pass as done.
    if (s.task_count > 0 && s.tasks == nullptr)
        return set_result(kErrInvalidValue, "(no production tasks)");
    if (s.hex_file != nullptr && s.hex_file[0] != '\0') {
        if (IspResult* failed = load_hex_path(s.hex_file, sink, s.addressing, kHexFile))
            return failed;
    }
    if (s.jit_module != nullptr && s.jit_module[0] != '\0') {
        if (IspResult* failed = load_jit(s, sink))
            return failed;
    }
    for (int i = 0; s.tasks != nullptr && i < s.task_count; ++i) {
        if (IspResult* failed = load_task(s.tasks[i], s, sink))
            return failed;
    }
    return nullptr;
}

IspResult* load_hex_source(const char* path, ProgramSink& sink, HexAddressing addressing)
{
    return load_hex_path(path, sink, addressing, kHexFile);
}

} // namespace qz
