// Splitting a command line into a program and its arguments without a
// shell: words are separated by blanks, and double or single quotes group a
// word that holds blanks (the quotes themselves are dropped). Nothing else
// is interpreted: no variables, no redirections, no command separators.
#pragma once

#include <string>
#include <vector>

namespace platform {

std::vector<std::string> splitCommandLine(const std::string& line);

} // namespace platform
