#include "isp/classic/connect_commands.h"

#include "isp/classic/command_templates.h"
#include "isp/classic/hex_command.h"
#include "isp/classic/transmission.h"
#include "isp/core/errorcodes.h"

#include <string>

namespace qz {

int read_icp_version(int& major, int& minor)
{
    const std::string command = icp_version_command();
    std::string reply;
    if (exchange(command, 3, reply) != 1)
        return kErrCommunicate;
    const std::size_t n = command.size();
    switch (reply[n]) {
    case 'R':
        major = 255;
        minor = 0;
        return 1;
    case '.':
        return 1;
    case 'S':
    case 'N':
    case 'P':
        return status_char_code(reply[n]);
    default:
        break;
    }
    if (read_more(4, reply) != 1)
        return kErrCommunicate;
    std::uint8_t hi = 0, lo = 0;
    if (!hex_pair(reply[n], reply[n + 1], hi) || !hex_pair(reply[n + 2], reply[n + 3], lo) ||
        !ends_value_line(reply, n + 4))
        return out_of_step(kErrOperationFailed);
    major = hi;
    minor = lo;
    return 1;
}

int icp_select(const ClassicDeviceRecord& d, int major, int interface_number)
{
    if (record_dialect(d) == kDialect2) {
        const int r = send_command(d2_icp_select_command(d, major, interface_number));
        return r == 1 || r == kErrCommunicate ? r : kErrOperationFailed;
    }
    return send_command(d1_icp_select_command(d, major, interface_number));
}

int send_i2c_address(const ClassicDeviceRecord& d, std::uint8_t address)
{
    if (!d.use_i2c_address)
        return 1;
    return send_command(d1_i2c_address_command(d, address));
}

int send_oscillator(const ClassicDeviceRecord& d, double mhz)
{
    if (!d.send_oscillator)
        return 1;
    return send_command(d1_oscillator_command(d, mhz));
}

} // namespace qz
