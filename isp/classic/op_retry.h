// Device steps of the settings and read-back operations are tried up to six
// times; the last result decides.
#pragma once

#include "isp/core/ops_common.h"

namespace qz {

// Until the step gives 1.
template <typename Step>
int tried_until_done(Step step)
{
    int r = 0;
    for (int t = 0; t < kDeviceTries; ++t)
        if ((r = step()) == 1)
            break;
    return r;
}

// Until the step gives no error (the blank checks answer 2 or 3).
template <typename Step>
int tried_while_negative(Step step)
{
    int r = -1;
    for (int t = 0; t < kDeviceTries; ++t)
        if ((r = step()) >= 0)
            break;
    return r;
}

} // namespace qz
