// The audio engine library's calls, bound by name by the program and by the
// tests. x86-64, C linkage, default calling convention; booleans are int32_t,
// non-zero for success; a stream handle is a uint32_t, 0 for none.
#pragma once
#include <stdint.h>

#if defined(_WIN32)
// Exports are chosen by the .def files, so the statically linked decoders'
// own symbols stay inside the DLLs.
#define ORVO_API
#else
#define ORVO_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Flags of the create calls.
#define ORVO_UNICODE 0x80000000u   // file is a UTF-16 path
#define ORVO_DECODE 0x00200000u    // decode-only (every stream is)
#define ORVO_EXAMINE 0x00020000u   // opened to look at, not to play

// Error codes reported by Orvo_ErrorGetCode.
#define ORVO_OK 0
#define ORVO_ERROR_MEMORY 1
#define ORVO_ERROR_FILEOPEN 2
#define ORVO_ERROR_HANDLE 5
#define ORVO_ERROR_FORMAT 6
#define ORVO_ERROR_ILLPARAM 20
#define ORVO_ERROR_NOTAVAIL 37
#define ORVO_ERROR_FILEFORM 41
#define ORVO_ERROR_CODEC 44
#define ORVO_ERROR_UNKNOWN (-1)

#define ORVO_ATTRIB_FREQ 1u
#define ORVO_POS_BYTE 0u

// Every stream is decode-only and delivers two-channel 32-bit float frames
// (8 bytes) at the file's rate; positions, lengths and byte counts are in
// bytes of that data and must be whole frames (else code 20).
// Orvo_ChannelStop may come from another thread while the stream is inside
// Orvo_ChannelGetData, which then returns -1; reads keep failing so until
// the position is set again. Orvo_StreamGetFilePosition knows modes 2 and 8
// (the file's size) and 3 (0).
ORVO_API int32_t Orvo_SetConfig(uint32_t option, uint32_t value);
ORVO_API int32_t Orvo_Init(int32_t device, uint32_t rate, uint32_t flags, void* window, const void* reserved);
ORVO_API int32_t Orvo_SetDevice(uint32_t device);
ORVO_API int32_t Orvo_Free(void);
ORVO_API int32_t Orvo_ErrorGetCode(void);
ORVO_API uint32_t Orvo_StreamCreateFile(int32_t fromMemory, const void* file, uint64_t offset, uint64_t length,
                                        uint32_t flags);
ORVO_API int32_t Orvo_StreamFree(uint32_t stream);
ORVO_API int32_t Orvo_ChannelStop(uint32_t stream);
ORVO_API int32_t Orvo_ChannelSetDevice(uint32_t stream, uint32_t device);
ORVO_API int32_t Orvo_ChannelSetPosition(uint32_t stream, uint64_t bytePosition, uint32_t mode);
ORVO_API uint64_t Orvo_ChannelGetPosition(uint32_t stream, uint32_t mode);
ORVO_API uint64_t Orvo_ChannelGetLength(uint32_t stream, uint32_t mode);
ORVO_API int32_t Orvo_ChannelGetData(uint32_t stream, void* destination, int32_t byteCount);
ORVO_API int32_t Orvo_ChannelGetAttribute(uint32_t stream, uint32_t attribute, float* value);
ORVO_API double Orvo_ChannelBytes2Seconds(uint32_t stream, uint64_t byteCount);
ORVO_API int32_t Orvo_ChannelUpdate(uint32_t stream, uint32_t length);
ORVO_API uint64_t Orvo_StreamGetFilePosition(uint32_t stream, uint32_t mode);

// From the plug-ins (orvu: FLAC, oraa: ALAC); same arguments as Orvo_StreamCreateFile.
ORVO_API uint32_t Orvo_FLAC_StreamCreateFile(int32_t fromMemory, const void* file, uint64_t offset, uint64_t length,
                                             uint32_t flags);
ORVO_API uint32_t Orvo_ALAC_StreamCreateFile(int32_t fromMemory, const void* file, uint64_t offset, uint64_t length,
                                             uint32_t flags);

#ifdef __cplusplus
}
#endif
