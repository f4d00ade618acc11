/* libWired.so: wired temperature/humidity loggers on serial ports.
 *
 * Port numbers are the n of COMn (0 to 19); port n is
 * $TOVANIX_COMDIR/COM<n> (default /dev/tovanix), else /dev/ttyS<n-1>.
 * Every operation returns 0 on failure. Only one exchange may run at a time
 * in the whole library: callers serialise calls, and address a logger with
 * W_SetTargetDevice before each operation.
 *
 * Order of use: StartThread, W_OpenCom per port, logger operations,
 * W_CloseCom, EndThread. W_OpenCom on a port that is already open closes it
 * and opens it anew.
 *
 * Time texts are written as 19 characters without a terminating zero: pass a
 * zero-filled buffer of at least 20 bytes.
 *
 * Limits are tenths of the unit, in the order channel 1 upper, channel 1
 * lower, channel 2 upper, channel 2 lower; they travel as signed 16-bit
 * values, so -20.0 (-200) is kept.
 */
#ifndef TOVANIX_WIRED_H
#define TOVANIX_WIRED_H

#if defined(TOVANIX_WIRED_BUILD)
#define WIRED_API __attribute__((visibility("default")))
#else
#define WIRED_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Starts the receiver thread (once; later calls keep it) and disarms every
 * port until it is opened again. Returns 1, 0 when the thread cannot run. */
WIRED_API int StartThread(void);
/* Stops the receiver thread; does nothing when none runs. */
WIRED_API void EndThread(void);

/* 1 = opened at 9600 8N1 and made the current port, 0 = failed. */
WIRED_API int W_OpenCom(int port);
/* Nonzero when the port was open and is now closed. */
WIRED_API int W_CloseCom(int port);

/* Stores the target address (only its low 8 bits are sent); returns it. */
WIRED_API int W_SetTargetDevice(int port, int address);

/* Current reading: time text "YYYY-MM-DD HH:MM:00", readings 1-2 and 3-4.
 * 22 on success. */
WIRED_API int W_DownloadNow(int port, char* time_text, float r12[2], float r34[2]);
/* Alarm settings. 33 on success. */
WIRED_API int W_GetAlarm(int port, char* enable_mask, int limits[4], int* sound_duration, int* interval_code);
WIRED_API int W_SetAlarm(int port, int enable_mask, const int limits[4], int sound_duration, int interval_code);
/* The recording interval code; 0 on failure (and for a code of 0). */
WIRED_API int W_GetRecordingInterval(int port);
/* Logger clock as "YYYY-MM-DD HH:MM:SS". */
WIRED_API int W_GetClock(int port, char* time_text);
/* BCD year-2000, month, day, hour, minute, second, sent unchanged. */
WIRED_API int W_SetClock(int port, const unsigned char bcd[6]);
/* One block of at most 20 stored records: times as binary year (two
 * digits), month, day, hour, minute; values in tenths. The arrays must hold
 * 20 records. */
WIRED_API int W_GetHistroy(int port, int block, unsigned char times[][5], double values[][2], int* count);
/* Oldest record time "YYYY-MM-DD HH:MM:00", interval code, stored count. */
WIRED_API int W_GetOldestRecordTime(int port, char* time_text, int* interval_code, int* count, int* second_word);
/* Reads the alarm settings and writes them back with a new interval code. */
WIRED_API int W_SetRecordingInterval(int port, int interval_code);
/* Erases the stored records (waits up to 3 s). */
WIRED_API int W_ClearData(int port);

#ifdef __cplusplus
}
#endif

#endif
