// The data sources of a programming run, read in their fixed order into the
// engine's sink: the HEX file, the JIT module's data file, then the
// production tasks (direct bytes, HEX file, binary file, hex generator). All
// of it is read and checked before the part is touched; the first source
// that cannot be opened, is no valid Intel HEX, holds no data or places data
// outside the part fails the run with its own text.
#pragma once

#include "qz_interface.h"

#include "isp/core/programsink.h"
#include "isp/core/stricthex.h"

namespace qz {

struct ProgramSources {
    const char* hex_file = nullptr; // none when null or empty
    const char* jit_module = nullptr;
    const char* jit_arguments = nullptr;
    int jit_timeout_s = 0;
    const ProductionTask* tasks = nullptr;
    int task_count = 0;
    ProgressCallback cb = nullptr; // gets the JIT module's message (event 9)
    int user = 0;
    HexAddressing addressing = HexAddressing::kIntel;
};

// The sources named by a programming request (any request with the HEX
// file, JIT module and production task fields).
template <typename Request>
ProgramSources program_sources_of(const Request& req, HexAddressing addressing = HexAddressing::kIntel)
{
    ProgramSources sources;
    sources.hex_file = req.hex_file;
    sources.jit_module = req.jit_module;
    sources.jit_arguments = req.jit_arguments;
    sources.jit_timeout_s = req.jit_timeout_s;
    sources.tasks = req.tasks;
    sources.task_count = req.task_count;
    sources.cb = req.cb;
    sources.user = req.user;
    sources.addressing = addressing;
    return sources;
}

// nullptr when every source is in the sink, else the failure's result.
IspResult* load_program_sources(const ProgramSources& sources, ProgramSink& sink);

// One HEX file alone, with the texts of the main HEX file (erase by file,
// verify).
IspResult* load_hex_source(const char* path, ProgramSink& sink, HexAddressing addressing = HexAddressing::kIntel);

} // namespace qz
