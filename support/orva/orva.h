/* orva.dll: the program's host of ASIO output drivers.
 *
 * Booleans are int32_t, non-zero for success. Output channels only: every call
 * given input != 0 fails. Channel -1 means every output channel.
 *
 * Threads. Every call on the driver (Init, Free, ControlPanel, CheckRate,
 * SetRate, Start, Stop and the recovery from a driver's reset request) runs on
 * one thread owned by the library, a single-threaded COM apartment that lives
 * from Init to Free; callers on any thread wait for it, one at a time. So the
 * window thread, the feeder thread and any other thread may make any call,
 * with two exceptions: from inside an OrvaProc, the calls that reach the
 * driver (Init, Free, ControlPanel, CheckRate, SetRate, Start, Stop) fail
 * with ORVA_ERROR_NOTAVAIL, as they would wait for the callback to end; and
 * no call may be made from DllMain. Free the driver before unloading.
 * The channel calls (Enable, Join, Pause, Reset, SetFormat, SetVolume) only
 * store settings that the driver's thread reads once per buffer half, so they
 * are safe while the device runs.
 *
 * Per buffer half the enabled channel's OrvaProc is called once on the
 * driver's thread for frames x 4 bytes per channel of its stream (the enabled
 * channel and those joined to it, interleaved in channel order) into an
 * 8-byte aligned buffer. What it does not supply, and everything while the
 * channel is paused, is silence. */
#ifndef VELORAN_ORVA_H
#define VELORAN_ORVA_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t (*OrvaProc)(int32_t input, uint32_t channel, void* buffer, uint32_t length, void* user);

/* name: the device's description; driver: its CLSID as text. Both are ANSI
 * texts, or UTF-16 after Orva_ASIO_SetUnicode(1), and stay valid until the
 * library is unloaded. */
typedef struct { const void* name; const void* driver; } OrvaDeviceInfo;

/* group: the driver's channel group; format: the driver's native sample type
 * (19 is 32-bit float); name: valid until the library is unloaded. */
typedef struct { uint32_t group; uint32_t format; const void* name; } OrvaChannelInfo;

/* Codes of Orva_ASIO_ErrorGetCode, for the last call made on any thread. */
enum {
  ORVA_OK = 0,
  ORVA_ERROR_DRIVER = 3,  /* the driver failed the request */
  ORVA_ERROR_FORMAT = 6,  /* unsupported sample format or rate */
  ORVA_ERROR_INIT = 8,    /* no driver is loaded */
  ORVA_ERROR_START = 9,   /* the device is not started */
  ORVA_ERROR_ALREADY = 14,
  ORVA_ERROR_ILLPARAM = 20,
  ORVA_ERROR_DEVICE = 23, /* no such device */
  ORVA_ERROR_NOTAVAIL = 37
};

/* Flags of Orva_ASIO_ChannelReset. */
enum { ORVA_RESET_ENABLE = 1, ORVA_RESET_JOIN = 2, ORVA_RESET_PAUSE = 4 };

/* Format of Orva_ASIO_ChannelSetFormat: the callback delivers 32-bit float. */
enum { ORVA_FORMAT_FLOAT = 19 };

uint32_t Orva_ASIO_GetVersion(void);
int32_t Orva_ASIO_SetUnicode(int32_t unicode);
/* Devices follow the order of the driver keys in the registry; enumeration is
 * read afresh each time device 0 is asked for. */
int32_t Orva_ASIO_GetDeviceInfo(uint32_t device, OrvaDeviceInfo* info);
/* flags 0: probe, 1: for playback (the same here). A loaded driver is freed
 * first. */
int32_t Orva_ASIO_Init(int32_t device, uint32_t flags);
/* Stops the device if it runs and releases the driver; false when none was
 * loaded. */
int32_t Orva_ASIO_Free(void);
int32_t Orva_ASIO_ErrorGetCode(void);
int32_t Orva_ASIO_ControlPanel(void);
int32_t Orva_ASIO_CheckRate(double rate);
int32_t Orva_ASIO_SetRate(double rate);
/* bufferLength in frames, 0 for the driver's preferred size; threads unused. */
int32_t Orva_ASIO_Start(uint32_t bufferLength, uint32_t threads);
/* When it returns the callbacks have stopped and IsStarted is false. */
int32_t Orva_ASIO_Stop(void);
/* True while started, including while the library recovers from a driver's
 * reset request. */
int32_t Orva_ASIO_IsStarted(void);
int32_t Orva_ASIO_ChannelGetInfo(int32_t input, uint32_t channel, OrvaChannelInfo* info);
int32_t Orva_ASIO_ChannelEnable(int32_t input, uint32_t channel, OrvaProc proc, void* user);
/* channel plays as part of channel2's stream. */
int32_t Orva_ASIO_ChannelJoin(int32_t input, uint32_t channel, int32_t channel2);
int32_t Orva_ASIO_ChannelPause(int32_t input, uint32_t channel);
int32_t Orva_ASIO_ChannelReset(int32_t input, int32_t channel, uint32_t flags);
int32_t Orva_ASIO_ChannelSetFormat(int32_t input, uint32_t channel, uint32_t format);
/* Gain of a channel, or of all with -1; it holds across enabling, resetting
 * and driver resets until the next Init. 1.0 leaves samples untouched. */
int32_t Orva_ASIO_ChannelSetVolume(int32_t input, int32_t channel, float volume);

#ifdef __cplusplus
}
#endif

#endif
