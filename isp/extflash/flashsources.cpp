#include "isp/extflash/flashsources.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "isp/core/errorcodes.h"
#include "isp/core/hexgenerator.h"
#include "isp/core/jitmodule.h"
#include "isp/core/ops_common.h"
#include "isp/core/result.h"
#include "isp/extflash/loaderhex.h"

namespace qz::ext {

namespace {

constexpr std::size_t kTaskDataSize = sizeof(ProductionTask{}.data);
constexpr std::size_t kTaskPathSize = sizeof(ProductionTask{}.path);
constexpr std::size_t kHexGeneratorBuffer = 65535;

class Loader {
public:
    Loader(const FlashProgramRequest& r, const FlashImageView& image) : req_(r), image_(image) {}
    IspResult* run();

private:
    IspResult* hex_path(const char* path, const char* failureText);
    IspResult* jit();
    IspResult* task(const ProductionTask& t);
    void place(std::uint64_t address, std::uint8_t byte);

    const FlashProgramRequest& req_;
    const FlashImageView& image_;
};

IspResult* Loader::run()
{
    if (req_.hexFile != nullptr && req_.hexFile[0] != '\0') {
        if (IspResult* failed = hex_path(req_.hexFile, "Reselect the Hex file."))
            return failed;
    }
    if (req_.jitModule != nullptr && req_.jitModule[0] != '\0') {
        if (IspResult* failed = jit())
            return failed;
    }
    if (req_.tasks != nullptr) {
        for (int i = 0; i < req_.taskCount; ++i) {
            if (IspResult* failed = task(req_.tasks[i]))
                return failed;
        }
    }
    return nullptr;
}

IspResult* Loader::hex_path(const char* path, const char* failureText)
{
    std::FILE* f = open_file_retry(path, "rb");
    if (f == nullptr)
        return set_result(kErrOpenHexFile, failureText);
    load_hex_file_range(f, image_.bytes, image_.first, image_.last);
    std::fclose(f);
    return nullptr;
}

IspResult* Loader::jit()
{
    std::string dataPath;
    std::string message;
    std::string error;
    const int r = run_jit_module(req_.jitModule, req_.jitArguments ? req_.jitArguments : "", &dataPath, &message,
                                 kJitMessageSize, req_.jitTimeoutS, &error);
    if (report_jit_message(req_.cb, req_.user, message) == 0) {
        if (r == 1)
            std::remove(dataPath.c_str());
        return set_result(kErrCancelled);
    }
    if (r != 1)
        return set_result(kErrJustInTime, error.c_str());
    IspResult* failed = hex_path(dataPath.c_str(), "Unable to open the JIT data file.");
    std::remove(dataPath.c_str());
    return failed;
}

void Loader::place(std::uint64_t address, std::uint8_t byte)
{
    if (address >= image_.first && address <= image_.last)
        image_.bytes[address - image_.first] = byte;
}

IspResult* Loader::task(const ProductionTask& t)
{
    const std::string path(t.path, strnlen(t.path, kTaskPathSize));
    switch (t.type) {
    case QZ_TASK_DIRECT_DATA:
        if (t.count == 0)
            return set_result(kErrProgramHex, "The direct entry production task requires data to program.");
        if (t.count > kTaskDataSize)
            return set_result(kErrProgramHex, "The direct entry production task holds more bytes than its data field.");
        for (std::uint32_t i = 0; i < t.count; ++i)
            place(static_cast<std::uint64_t>(t.address) + i, t.data[i]);
        return nullptr;
    case QZ_TASK_HEX_FILE:
        return hex_path(path.c_str(), "Unable to open the production task hex file.");
    case QZ_TASK_BINARY_FILE: {
        std::FILE* f = open_file_retry(path.c_str(), "rb");
        if (f == nullptr)
            return set_result(kErrOpenHexFile, "Unable to open the production task binary file.");
        std::uint64_t address = t.address;
        std::uint8_t piece[4096];
        std::size_t n = 0;
        while ((n = std::fread(piece, 1, sizeof piece, f)) > 0) {
            for (std::size_t i = 0; i < n; ++i)
                place(address++, piece[i]);
        }
        std::fclose(f);
        return nullptr;
    }
    case QZ_TASK_HEX_GENERATOR: {
        std::string output;
        if (run_and_capture(path.c_str(), &output, kHexGeneratorBuffer) == 0)
            return set_result(kErrOpenHexFile, "The hex generator production task failed or didn't generate output.");
        load_hex_text_range(output.c_str(), image_.bytes, image_.first, image_.last);
        return nullptr;
    }
    default:
        return nullptr;
    }
}

} // namespace

IspResult* load_flash_sources(const FlashProgramRequest& request, const FlashImageView& image)
{
    Loader loader(request, image);
    return loader.run();
}

} // namespace qz::ext
