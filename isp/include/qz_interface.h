/*
 * The qz_ function interface of the ISP libraries QuasmeriteARMCortex,
 * QuasmeriteExtFlash and Quasmerite. Plain C, usable from C and C++.
 *
 * Every export that returns a result returns a pointer to the library's one
 * IspResult. The library owns it and overwrites it on the next call: copy
 * what you need, never free it. Strings and records passed in stay yours.
 */
#ifndef QZ_INTERFACE_H
#define QZ_INTERFACE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define QZ_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#define QZ_EXTERN_C extern "C"
#else
#define QZ_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#define QZ_EXTERN_C
#endif

#if defined(__GNUC__)
#define QZ_API QZ_EXTERN_C __attribute__((visibility("default")))
#else
#define QZ_API QZ_EXTERN_C
#endif

#define QZ_RESULT_DATA_SIZE 128
#define QZ_RESULT_TEXT_SIZE 400

/* Status values besides the negative error codes. */
#define QZ_STATUS_SUCCESS 1
#define QZ_STATUS_UNKNOWN_CODE 0
#define QZ_STATUS_BLANK 2     /* qz_blank_check: sector blank */
#define QZ_STATUS_NOT_BLANK 3 /* qz_blank_check: sector not blank */

typedef struct IspResult {
    int32_t status;                            /* 1 success, negative code on failure */
    unsigned char data[QZ_RESULT_DATA_SIZE];   /* result bytes of the operation */
    char text[QZ_RESULT_TEXT_SIZE];            /* NUL-terminated message */
} IspResult;

QZ_STATIC_ASSERT(offsetof(IspResult, status) == 0, "IspResult.status");
QZ_STATIC_ASSERT(offsetof(IspResult, data) == 4, "IspResult.data");
QZ_STATIC_ASSERT(offsetof(IspResult, text) == 132, "IspResult.text");
QZ_STATIC_ASSERT(sizeof(IspResult) == 532, "IspResult size");

/*
 * Passed by pointer with its size (QZ_CONNECT_OPTIONS_SIZE) to qz_connect.
 * Packed, little-endian; the offsets are part of the interface.
 */
#pragma pack(push, 1)
typedef struct ConnectOptions {
    double oscillator_mhz;          /* crystal frequency; not 0.0 with high_speed */
    char port_name[50];             /* NUL-terminated serial port name */
    int32_t baud_rate;              /* rate to connect at */
    int32_t device_id;              /* key of the device table */
    int32_t high_speed;             /* non-zero: switch to the highest usable rate */
    int32_t clocks;                 /* clocks per machine cycle (logged only) */
    int32_t half_duplex;            /* non-zero: read each character's echo */
    int32_t hardware_config;        /* 0-4: use of the reset and ISP-entry lines */
    int32_t t1_ms;                  /* line-sequence delays */
    int32_t t2_ms;
    uint8_t i2c_address;            /* not read by QuasmeriteARMCortex */
    int32_t max_baud_rate;          /* highest rate the user allows */
    int32_t use_icp;                /* logged only */
    int32_t icp_interface;          /* logged only */
    char flash_loader_path[1024];   /* read by QuasmeriteExtFlash only */
    int32_t flash_bank;             /* flash bank to select */
} ConnectOptions;
#pragma pack(pop)

#define QZ_CONNECT_OPTIONS_SIZE 1131

QZ_STATIC_ASSERT(offsetof(ConnectOptions, oscillator_mhz) == 0, "ConnectOptions.oscillator_mhz");
QZ_STATIC_ASSERT(offsetof(ConnectOptions, port_name) == 8, "ConnectOptions.port_name");
QZ_STATIC_ASSERT(offsetof(ConnectOptions, baud_rate) == 58, "ConnectOptions.baud_rate");
QZ_STATIC_ASSERT(offsetof(ConnectOptions, device_id) == 62, "ConnectOptions.device_id");
QZ_STATIC_ASSERT(offsetof(ConnectOptions, high_speed) == 66, "ConnectOptions.high_speed");
QZ_STATIC_ASSERT(offsetof(ConnectOptions, clocks) == 70, "ConnectOptions.clocks");
QZ_STATIC_ASSERT(offsetof(ConnectOptions, half_duplex) == 74, "ConnectOptions.half_duplex");
QZ_STATIC_ASSERT(offsetof(ConnectOptions, hardware_config) == 78, "ConnectOptions.hardware_config");
QZ_STATIC_ASSERT(offsetof(ConnectOptions, t1_ms) == 82, "ConnectOptions.t1_ms");
QZ_STATIC_ASSERT(offsetof(ConnectOptions, t2_ms) == 86, "ConnectOptions.t2_ms");
QZ_STATIC_ASSERT(offsetof(ConnectOptions, i2c_address) == 90, "ConnectOptions.i2c_address");
QZ_STATIC_ASSERT(offsetof(ConnectOptions, max_baud_rate) == 91, "ConnectOptions.max_baud_rate");
QZ_STATIC_ASSERT(offsetof(ConnectOptions, use_icp) == 95, "ConnectOptions.use_icp");
QZ_STATIC_ASSERT(offsetof(ConnectOptions, icp_interface) == 99, "ConnectOptions.icp_interface");
QZ_STATIC_ASSERT(offsetof(ConnectOptions, flash_loader_path) == 103, "ConnectOptions.flash_loader_path");
QZ_STATIC_ASSERT(offsetof(ConnectOptions, flash_bank) == 1127, "ConnectOptions.flash_bank");
QZ_STATIC_ASSERT(sizeof(ConnectOptions) == QZ_CONNECT_OPTIONS_SIZE, "ConnectOptions size");

/*
 * One element of the task array of qz_program2. Offsets are part of the
 * interface (little-endian).
 */
#define QZ_TASK_DIRECT_DATA 1
#define QZ_TASK_HEX_FILE 2
#define QZ_TASK_BINARY_FILE 3
#define QZ_TASK_HEX_GENERATOR 4

typedef struct ProductionTask {
    uint32_t address;      /* types 1 and 3 */
    uint32_t type;         /* QZ_TASK_*; other values are ignored */
    uint32_t count;        /* number of data bytes (type 1) */
    uint8_t data[128];     /* data bytes (type 1) */
    char path[1024];       /* file path (types 2, 3) or command line (type 4) */
} ProductionTask;

QZ_STATIC_ASSERT(offsetof(ProductionTask, address) == 0, "ProductionTask.address");
QZ_STATIC_ASSERT(offsetof(ProductionTask, type) == 4, "ProductionTask.type");
QZ_STATIC_ASSERT(offsetof(ProductionTask, count) == 8, "ProductionTask.count");
QZ_STATIC_ASSERT(offsetof(ProductionTask, data) == 12, "ProductionTask.data");
QZ_STATIC_ASSERT(offsetof(ProductionTask, path) == 140, "ProductionTask.path");
QZ_STATIC_ASSERT(sizeof(ProductionTask) == 1164, "ProductionTask size");

/*
 * Progress reports: called on the caller's thread with an event kind, a
 * value, an extra value and the caller's own `user`. Returning 0 cancels the
 * running operation (status -20); any other value goes on. A null callback
 * is allowed everywhere. What the values mean differs between the libraries
 * (Cortex: QuasmeriteARMCortex, ExtFlash: QuasmeriteExtFlash, classic:
 * Quasmerite); `extra` is 0 unless given.
 *
 *   1  qz_erase, before each sector or block
 *        value: the sector (Cortex) or block (ExtFlash, classic) number
 *   2  qz_erase of the whole bank or flash, once before    value: 0
 *   3  programming, after a block is written
 *        Cortex:   after each block; value: its offset from the bank start,
 *                  for RAM the RAM address
 *        ExtFlash: after each chunk; value: its absolute flash address
 *        classic:  after every 10th record position; value: the record's
 *                  address
 *   6  qz_verify, after each chunk compared
 *        Cortex:   512-byte chunks; value: offset from the bank start
 *        classic:  256-byte chunks; value: the chunk's address
 *   7  read-back progress; value: address
 *        Cortex:   extra 1024 (qz_read_data, every 10th 64-byte record) or
 *                  512 (qz_read_data_to_buffer, each 512-byte chunk)
 *        classic:  extra 256 (qz_read_data, every 10th 16-byte record;
 *                  qz_read_data_to_buffer, every 256 bytes)
 *   8  page erase (classic only), before each page     value: page number
 *   9  the JIT module left a message       value: length of the message
 *
 * Event 9: an int cannot carry a pointer on 64-bit systems, so the message
 * is not passed as an address. For the duration of the callback the
 * message (NUL-terminated, cut to QZ_RESULT_TEXT_SIZE - 1 characters) is the
 * `text` of the library's IspResult, the record every result-returning
 * export points to; `value` is its length. The library puts the previous
 * text back when the callback returns.
 */
typedef int (*ProgressCallback)(int event, int value, int extra, int user);

#define QZ_EVENT_ERASE_SECTOR 1
#define QZ_EVENT_ERASE_BANK 2
#define QZ_EVENT_BLOCK_PROGRAMMED 3
#define QZ_EVENT_CHUNK_VERIFIED 6
#define QZ_EVENT_READ_PROGRESS 7
#define QZ_EVENT_PAGE_ERASED 8
#define QZ_EVENT_JIT_MESSAGE 9

/*
 * The exports of every library, in QuasmeriteARMCortex's export order (each
 * library numbers them in its own order). Where the libraries' argument
 * lists differ, the prototype carries the widest; a library that has no use
 * for an argument ignores it.
 */
QZ_API const IspResult *qz_version(void);
QZ_API const IspResult *qz_longversion(void);
QZ_API const IspResult *qz_start_bootrom(const char *port, int baud, const char *script,
                                         int byte_by_byte, int send_break);
QZ_API const IspResult *qz_start_bootloader(const char *port, int baud, const char *script,
                                            int byte_by_byte, int send_break);
QZ_API const IspResult *qz_cancelautobaud(void);
QZ_API const IspResult *qz_raw_connect(const char *port, int baud, int line_mode);
QZ_API const IspResult *qz_raw_disconnect(void);
QZ_API const IspResult *qz_raw_transmit(const void *data, int count);
QZ_API const IspResult *qz_raw_receive(char *buffer, int count, unsigned *received);
QZ_API const IspResult *qz_raw_cancelreceive(void);
QZ_API const IspResult *qz_connect(const ConnectOptions *options, int size);
QZ_API const IspResult *qz_disconnect(void);
/* Time-outs in ms; 0 (negative values count as 0) means no waiting at all,
 * never an endless wait. */
QZ_API void qz_set_autobaud_configuration(int read_timeout_ms, int write_timeout_ms, int attempts);
QZ_API const IspResult *qz_select_debug_mode(int enable, const char *log_path);
QZ_API const IspResult *qz_select_device(int device_id, unsigned bank);
QZ_API const IspResult *qz_read_signature(void);
/* guard (classic): non-zero spares the boot loader's area on parts that
 * protect it; the same for the fifth argument of qz_program and qz_program2. */
QZ_API const IspResult *qz_erase(int mode, unsigned block_mask, int guard, ProgressCallback cb,
                                 int user, const char *hex_file);
QZ_API const IspResult *qz_erase_pages(const int *page_flags, int guard, ProgressCallback cb,
                                       int user);
QZ_API const IspResult *qz_update_bootloader(const char *hex_file, ProgressCallback cb, int user);
QZ_API const IspResult *qz_program(const char *hex_file, int checksum_adjust, int use_fill_byte,
                                   int fill_byte, int guard, const char *jit_module,
                                   const char *jit_arguments, int jit_timeout_s, int final_flag,
                                   int ignored, ProgressCallback cb, int user);
QZ_API const IspResult *qz_program2(const char *hex_file, int checksum_adjust, int use_fill_byte,
                                    int fill_byte, int guard, int task_count,
                                    const ProductionTask *tasks, int final_flag, int ignored,
                                    ProgressCallback cb, int user);
QZ_API const IspResult *qz_verify(const char *hex_file, int skip_checksum_bytes, ProgressCallback cb,
                                  int user);
QZ_API const IspResult *qz_read_security_bits(void);
QZ_API const IspResult *qz_read_clocks_bit(void);
QZ_API const IspResult *qz_program_clocks_bit(void);
/* Cortex: the code read protection word; classic: one flag per entry. */
QZ_API const IspResult *qz_program_security_bits(const unsigned *crp_word);
QZ_API const IspResult *qz_blank_check(unsigned start, unsigned end);
/* block: a block number, or -3 for the whole device. */
QZ_API const IspResult *qz_read_crc(int block);
QZ_API const IspResult *qz_read_misr(int block);
QZ_API const IspResult *qz_read_data(unsigned start, unsigned end, const char *out_file,
                                     ProgressCallback cb, int user);
QZ_API const IspResult *qz_read_data_to_buffer(unsigned start, unsigned end, unsigned char *buffer,
                                               ProgressCallback cb, int user);
/* Ordinals 32 to 45: the classic library's device settings; the others
 * answer without touching the part and ignore the arguments. */
QZ_API const IspResult *qz_program_addl_security_bits(const int *flags); /* three flags */
QZ_API const IspResult *qz_erase_addl_security_bits(void);
QZ_API const IspResult *qz_read_addl_security_bits(void);
QZ_API const IspResult *qz_read_boot_vector_status_byte(void);
QZ_API const IspResult *qz_read_configuration(void);
QZ_API const IspResult *qz_erase_boot_vector_status_byte(void);
QZ_API const IspResult *qz_program_boot_vector(int vector);
QZ_API const IspResult *qz_program_status_byte(int value);
QZ_API const IspResult *qz_clear_configuration_protection(void);
QZ_API const IspResult *qz_program_configuration(int value);
QZ_API const IspResult *qz_program_i2c_address(int address);
QZ_API const IspResult *qz_set_password(const char *password, int length);
QZ_API const IspResult *qz_verify_password(const char *password, int length);
QZ_API const IspResult *qz_reset_password(void);
/* Cortex: (skip line reset, start address, flags); classic: the first
 * argument 1 programs the boot vector and status byte before the reset, the
 * others are ignored. */
QZ_API const IspResult *qz_reset(int skip_line_reset, unsigned address, unsigned flags);
QZ_API void qz_set_timeouts(int short_s, int long_s);
QZ_API void qz_set_default_timeouts(void);
QZ_API const IspResult *qz_enable_softice(void);
QZ_API const IspResult *qz_bootloader_version(void);
QZ_API const IspResult *qz_serial_number(void);
/* Ordinals 52 to 56: the classic library's EEPROM; the others answer
 * without touching the part and ignore the arguments. qz_program_eeprom
 * takes the arguments of qz_program. */
QZ_API const IspResult *qz_read_eeprom_security_bits(void);
QZ_API const IspResult *qz_program_eeprom_security_bits(const int *flags);
QZ_API const IspResult *qz_erase_eeprom_pages(const int *page_flags, ProgressCallback cb, int user);
QZ_API const IspResult *qz_read_eeprom_crc(int block);
QZ_API const IspResult *qz_program_eeprom(const char *hex_file, int checksum_adjust,
                                          int use_fill_byte, int fill_byte, int guard,
                                          const char *jit_module, const char *jit_arguments,
                                          int jit_timeout_s, int final_flag, int ignored,
                                          ProgressCallback cb, int user);
QZ_API const IspResult *qz_activate_flash_bank(int bank);
QZ_API const IspResult *qz_program_eeprom_from_buffer(const unsigned char *data,
                                                      unsigned eeprom_address, unsigned length);
QZ_API const IspResult *qz_read_eeprom_to_buffer(unsigned char *data, unsigned eeprom_address,
                                                 unsigned length);
/*
 * The port handle is the serial device's file descriptor, -1 when no port is
 * open. qz_set_comport_handle adopts a descriptor that is already open (for
 * example one that another of these libraries returned); from then on this
 * library owns it: it is made non-blocking and close-on-exec, and this
 * library's disconnect closes it. A baud of 0 (or less) keeps the rate the
 * line has; any other value sets it.
 */
QZ_API int qz_get_comport_handle(void);
QZ_API void qz_set_comport_handle(int handle, int baud);

#endif /* QZ_INTERFACE_H */
