/* libAlarm.so: the serial alarm device (siren relay, mains-power monitor and
 * GSM modem on one port).
 *
 * The station loads this library at run time and looks the operations up by
 * name. All of them use the one port that W_OpenCom opened; the caller opens
 * the port, runs one or more operations and closes it again. Every result is
 * an int: nonzero for success, 0 for failure.
 *
 * Calls are serialised inside the library: two threads never use the port at
 * the same time, a second caller waits until the first call has returned.
 */
#ifndef TOVANIX_ALARM_ALARM_H
#define TOVANIX_ALARM_ALARM_H

#ifdef __cplusplus
#define ALARM_EXTERN_C extern "C"
#else
#include <uchar.h>
#define ALARM_EXTERN_C
#endif

#define ALARM_API ALARM_EXTERN_C __attribute__((visibility("default")))

/* Opens and configures port n (9600 baud, 8N1, no flow control). A port left
 * open by an earlier call is closed first. 1 = open, 0 = failed. */
ALARM_API int W_OpenCom(int port);
/* 1 when an open port was closed, 0 when none was open. */
ALARM_API int W_CloseCom(void);

/* Siren on / off: 1 when the request was sent and a reply with a valid CRC
 * came back, 0 otherwise (no reply within about 5 s, bad CRC, too long). */
ALARM_API int W_OpenAlarm(void);
ALARM_API int W_CloseAlarm(void);
/* 1 = valid reply reporting mains power present; 0 = power failure, no
 * reply or an invalid reply. */
ALARM_API int W_GetPower(void);

/* Sends one short message in PDU mode with UCS2 text to `phone` (narrow
 * digits; an 11-digit number starting with "1" gets the "86" prefix).
 * `text` is NUL-terminated UTF-16 and is not changed. Returns 1 when the
 * modem prompted and echoed the PDU exactly, 0 otherwise; messages whose
 * length command would exceed 350 octets are refused before anything is
 * sent. The modem's "+CMGS" result is not awaited. */
ALARM_API int W_GSMSendMessage(const char *phone, const char16_t *text);
/* Sends only the length command of such a message and collects the reply
 * into `reply`: at most reply_size - 1 bytes, always NUL-terminated. Returns
 * 1 when the stored reply holds the prompt ">", 0 otherwise; 0 without
 * sending anything when an argument is null or reply_size < 1. */
ALARM_API int W_GSMAT_CMGS(const char *phone, const char16_t *text, char *reply, int reply_size);
/* "AT": 1 when the reply holds "OK". */
ALARM_API int W_GSMSendAT(void);
/* "AT+CMGF=0" (PDU mode): 1 when it was sent; the reply is read and ignored. */
ALARM_API int W_GSMAT_CMGF(void);
/* "AT+CSCA?": 1 when the reply holds "145" (international service-centre
 * number) at or after character 34. */
ALARM_API int W_GSMCenterPhone(void);
/* Length of the semi-octet packed form of `phone`; 0 when it would be longer
 * than 18 characters (or phone is null). Nothing is sent. */
ALARM_API int W_GSMPackPhone(const char *phone);

#endif
