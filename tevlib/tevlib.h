/* libTevlib.so: wireless loggers behind a radio receiver on a serial port.
 *
 * One exchange sequence at a time: T_Open, T_SetTargetDevice, operations,
 * T_Close. Every operation returns nonzero on success and 0 on failure; the
 * library shows nothing. The wire protocol is described in PROTOCOL.md.
 */
#ifndef TOVANIX_TEVLIB_H
#define TOVANIX_TEVLIB_H

#if defined(TOVANIX_TEVLIB_BUILD)
#define TEVLIB_API __attribute__((visibility("default")))
#else
#define TEVLIB_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Opens COM<port> at 9600 8N1 (an open port is closed first). 1 = opened. */
TEVLIB_API int T_Open(int port);
/* Closes the port; harmless when none is open. */
TEVLIB_API void T_Close(void);
/* Bus address (1 to 999) that later operations talk to. */
TEVLIB_API void T_SetTargetDevice(int address);

/* Running state (nonzero = recording), two power values in volts, power
 * kind (0 external, 1 battery low, 2 medium, 3 full). */
TEVLIB_API int T_GetState(unsigned char* running, float* power1, float* power2, unsigned char* power_kind);
/* Start and stop recording. */
TEVLIB_API int T_Start(void);
TEVLIB_API int T_Stop(void);
/* Alarm sound enable, monitor interval, duration. */
TEVLIB_API int T_GetBeep(unsigned char* enable, unsigned char* monitor_interval, unsigned char* duration);
/* Record interval and unit (0 seconds, 1 minutes, 2 hours), sampling
 * interval, LCD-off delay. */
TEVLIB_API int T_GetConfig(int* record_interval, int* record_unit, int* sampling_interval, int* lcd_off_delay);
/* Gives the target device a new bus address (1 to 999); on success the
 * target follows it. */
TEVLIB_API int T_SetDeviceID(int new_address);

/* Looked up by the station but never called; each returns 0 until the
 * receiver has a command for it. */
/* Reason: the station reads current values of wireless loggers nowhere. */
TEVLIB_API int T_DownloadNow(char* time_text, float values[2]);
/* Reason: the library's time-outs are fixed (PROTOCOL.md). */
TEVLIB_API int T_SetTimeouts(int reply_ms, int write_ms);
/* Reason: as T_SetTimeouts; nothing to report that callers use. */
TEVLIB_API int T_GetTimeouts(int* reply_ms, int* write_ms);
/* Reason: wireless clocks are not set by the station. */
TEVLIB_API int T_SetClock(const unsigned char bcd[6]);
/* Reason: the station never erases a wireless logger's records. */
TEVLIB_API int T_Clear(void);
/* Reason: alarm limits of wireless loggers are not written by the station. */
TEVLIB_API int T_SetAlarmConfig(const int limits[4], int enable_mask);
/* Reason: as T_SetAlarmConfig; the limits come from the database. */
TEVLIB_API int T_GetAlarmConfig(int limits[4], int* enable_mask);
/* Reason: per-channel alarm switches are not written by the station. */
TEVLIB_API int T_SetAlarmChl(int channel, int enable);
/* Reason: alarm sound settings are only read (T_GetBeep). */
TEVLIB_API int T_SetBeep(unsigned char enable, unsigned char monitor_interval, unsigned char duration);
/* Reason: as T_SetAlarmChl, for the whole device. */
TEVLIB_API int T_SetAlarmEnable(int enable);
/* Reason: wireless clocks are not read by the station. */
TEVLIB_API int T_GetClock(char* time_text);
/* Reason: recording settings are only read (T_GetConfig). */
TEVLIB_API int T_SetConfig(int record_interval, int record_unit, int sampling_interval, int lcd_off_delay);
/* Reason: stored records of wireless loggers are not downloaded. */
TEVLIB_API int T_DownloadAll(unsigned char times[][6], float values[][2], int capacity, int* count);
/* Reason: as T_DownloadAll, from a given record on. */
TEVLIB_API int T_DownloadAllEx(int first, unsigned char times[][6], float values[][2], int capacity, int* count);

#ifdef __cplusplus
}
#endif

#endif
