// The just-in-time data program ("JIT Module"): a user's program that writes
// the data to program into a temporary file.
#pragma once

#include "qz_interface.h"

#include <cstddef>
#include <string>

namespace qz {

// Message buffer size that the programming engine passes.
constexpr std::size_t kJitMessageSize = 2000;

// Runs the module as "<module> <command file>", where the command file holds
// the data file path, the message file path and each blank-separated word of
// `arguments`, one per line. The module runs directly (no shell), with no
// descriptor of ours, for at most timeoutSeconds; on time-out it is killed.
//
// Returns 1 when the module exited with code 1: *dataPath names the data
// file (Intel HEX), which the caller loads and removes, and *errorText is
// empty. Otherwise -1 with the reason in *errorText; every temporary file is
// removed then. *message gets the first line of the message file, at most
// messageSize - 1 characters (empty when there is none), also after an
// exit code other than 1.
int run_jit_module(const char* modulePath, const char* arguments, std::string* dataPath,
                   std::string* message, std::size_t messageSize, int timeoutSeconds,
                   std::string* errorText);

// Hands a non-empty JIT message to the caller's callback as event 9: the
// message is the IspResult's text while the callback runs (value: its
// length) and the previous text is put back afterwards. Returns the
// callback's answer (0: cancel), or 1 when there is nothing to report.
int report_jit_message(ProgressCallback cb, int user, const std::string& message);

}  // namespace qz
