// What a raw connection needs before it opens the port. A driver that reads
// its part's record for every connection names that check at load time;
// without one, a raw connection needs nothing first.
#pragma once

namespace qz {

void set_raw_connect_precondition(bool (*ready)());
bool raw_connect_allowed();

} // namespace qz
