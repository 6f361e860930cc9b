// Programming the EEPROM of the parts that have one: the programming run
// over the EEPROM's range, with EEPROM access on around it (dialect 2).
#include "isp/classic/settings_ops.h"

#include "isp/classic/capabilities.h"
#include "isp/classic/classic_state.h"
#include "isp/classic/settings_commands.h"
#include "isp/core/result.h"

namespace qz {

IspResult* classic_program_eeprom(ClassicProgramRequest request)
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::ProgramEeprom))
        return r;
    const ClassicDeviceRecord& d = *selected_classic_device();
    const std::uint32_t size = d.eeprom_page_count * d.eeprom_page_size;
    // The EEPROM holds no boot vector: the run ends after its records.
    request.final_flag = 1;
    const bool d2 = record_dialect(d) == kDialect2;
    if (d2) {
        const int on = d2_eeprom_access(true);
        if (on != 1)
            return report_engine_failure(on, "programming eeprom");
    }
    IspResult* r = program_image(request, d.eeprom_base, size, d.eeprom_base, std::uint64_t(d.eeprom_base) + size - 1);
    // Access goes off whatever the run gave; the run's result stands.
    const int status = r->status;
    const int off = d2 ? d2_eeprom_access(false) : 1;
    if (status == QZ_STATUS_SUCCESS && off != 1)
        return report_engine_failure(off, "programming eeprom");
    return r;
}

} // namespace qz
