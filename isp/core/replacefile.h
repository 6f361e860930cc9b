// Putting a whole new text in place of an existing file by writing a new
// file beside it and renaming that over the name: a run that fails or is
// killed midway leaves the old file as it was. Taken only where the new
// file can be given all the old one had (owner, group, mode bits, its one
// link); the caller writes the file itself where it cannot.
#pragma once

#include <string>

namespace qz {

enum class Replaced {
    kDone,    // the name now holds `text`
    kNotKept, // nothing changed; renaming would lose what the file has
    kFailed,  // nothing changed; the text could not be stored
};

// `oldFd` is open on the regular file `path` names (through a link: the
// link stays, the file it leads to is replaced).
Replaced replace_by_rename(int oldFd, const std::string& path, const std::string& text);

} // namespace qz
