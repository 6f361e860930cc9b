// The hex generator of a production task: a user's command whose standard
// output is Intel HEX text to program.
#pragma once

#include <cstddef>
#include <string>

namespace qz {

// The most output a generator may give (far above any part's flash as HEX
// text); a run that gives more fails rather than being cut short.
constexpr std::size_t kHexGeneratorOutputLimit = 32u * 1024 * 1024;
// A generator that neither ends nor closes its output in this time fails.
constexpr int kHexGeneratorTimeoutMs = 120000;

// Runs the command line (program and arguments split without a shell, see
// platform::splitCommandLine) with its standard output and error on a pipe
// and no standard input, collects everything it writes until it has
// finished, and reaps it. Returns the number of bytes in *output; 0 when it
// could not be run, wrote nothing, was ended by a signal, wrote more than
// `limit` bytes or a zero byte, or did not finish within timeoutMs (then it
// is killed). The output read whole is *output's zero-terminated text.
std::size_t run_and_capture(const char* commandLine, std::string* output,
                            std::size_t limit = kHexGeneratorOutputLimit,
                            int timeoutMs = kHexGeneratorTimeoutMs);

}  // namespace qz
