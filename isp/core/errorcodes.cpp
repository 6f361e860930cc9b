#include "isp/core/errorcodes.h"

namespace qz {

const ErrorCodeEntry ErrorCodeTable[] = {
    {-2, "Unable to communicate."},
    {-3, "Unable to connect at the specified baud rate. Try reducing the baud rate."},
    {-5, "Invalid value or command sent. Please try the operation again."},
    {-18, "Operation Failed."},
    {-6, "Unrecognized device."},
    {-1, "An error occurred."},
    {-16, "Device does not support operation."},
    {-7, "There is no connection to the device."},
    {-15, "Unable to open Hex file."},
    {-11, "Checksum error in Hex file."},
    {-10, "Error programing the Hex file."},
    {-19, "Failed to allocate memory."},
    {-14, "Error filling memory."},
    {-12, "Error programming checksum adjuster byte."},
    {-20, "The operation was cancelled."},
    {-17, "Error verifying. There is a difference in the Hex file value and the stored value."},
    {-9, "Error creating file."},
    {-23, "Just In Time error."},
    {0, ""},
};

const ErrorCodeEntry* find_error_code(int code)
{
    for (const ErrorCodeEntry* e = ErrorCodeTable;; ++e) {
        if (e->code == code)
            return e;
        if (e->code == 0)
            return nullptr;
    }
}

}  // namespace qz
