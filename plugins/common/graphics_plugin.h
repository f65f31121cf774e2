/*
 * The interface every Reelcard graphics plugin exports.
 *
 * A plugin is a shared library named after the picture extension it handles
 * ("pngflt32.so", "tgaflt32.so").  It exports exactly the eight functions
 * below with C linkage and turns picture files into PackedDib blocks and back.
 *
 * A PackedDib handle is the address of one contiguous block obtained from
 * malloc.  Whoever receives a handle owns it and releases it with free().
 *
 * This header is plain C so that plugins written in either language, and the
 * program that loads them, share one definition.
 */
#ifndef REELCARD_PLUGINS_COMMON_GRAPHICS_PLUGIN_H
#define REELCARD_PLUGINS_COMMON_GRAPHICS_PLUGIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Address of a PackedDib block (see below); null when there is none. */
typedef void* PackedDibHandle;

/*
 * PackedDib layout, all integers little-endian:
 *
 *   0   header size          uint32  40
 *   4   width                int32   pixels per row
 *   8   height               int32   rows, positive: bottom row stored first
 *  12   planes               uint16  1
 *  14   bit count            uint16  1, 4, 8 or 24
 *  16   compression          uint32  0
 *  20   image size           uint32  height * stride; 0 in an information block
 *  24   horizontal resolution uint32 pixels per metre; 0 when the file has none
 *  28   vertical resolution  uint32  the same, vertically
 *  32   colours used         uint32  2^bit count for 8 bits or less, else 0
 *  36   colours important    uint32  same as colours used
 *  40   colour table         colours used * 4 bytes: blue, green, red, 0
 *  ..   pixel rows           height * stride bytes, only in a full bitmap
 *
 * stride = ((width * bit count + 31) / 32) * 4.  Picture row r counted from
 * the top is stored at row index height - 1 - r.
 */
typedef struct PackedDibHeader {
    uint32_t headerSize;
    int32_t width;
    int32_t height;
    uint16_t planes;
    uint16_t bitCount;
    uint32_t compression;
    uint32_t imageSize;
    int32_t xPixelsPerMeter;
    int32_t yPixelsPerMeter;
    uint32_t coloursUsed;
    uint32_t coloursImportant;
} PackedDibHeader;

#define PACKED_DIB_HEADER_SIZE 40u

/* Plugin error codes, as returned by GetError. */
enum PluginErrorCode {
    PluginErrorNone = 0,
    PluginErrorOpen = 1,
    PluginErrorCorrupt = 2,
    PluginErrorRead = 3,
    PluginErrorMemory = 4,
    PluginErrorUnsupported = 5,
    PluginErrorCreate = 6,
    PluginErrorWrite = 7,
    PluginErrorTooManyBits = 8
};

/* Message texts of codes 0 to 8, in order. */
#define PLUGIN_ERROR_TEXTS                                                                   \
    {"No error",                       "Error opening the file",                             \
     "Corrupted or badly formed file", "Error reading the file",                             \
     "Error allocating memory",        "Unsupported function",                               \
     "Error creating the file",        "Error writing the file",                             \
     "Too many bits for the destination"}
#define PLUGIN_ERROR_TEXT_COUNT 9
#define PLUGIN_UNKNOWN_ERROR_TEXT "Unknown error"

/* A buffer of this many bytes holds every message GetError can copy. */
#define PLUGIN_ERROR_TEXT_SIZE 64

#if defined(__GNUC__)
#define REELCARD_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define REELCARD_PLUGIN_EXPORT
#endif

/* The eight exports. */
REELCARD_PLUGIN_EXPORT const char* GetFileExtension(void);
REELCARD_PLUGIN_EXPORT uint16_t GetLibraryVersion(void);
REELCARD_PLUGIN_EXPORT const char* GetCopyright(void);
REELCARD_PLUGIN_EXPORT const char* GetNotice(void);
REELCARD_PLUGIN_EXPORT PackedDibHandle GetFileInformation(const char* fileName);
REELCARD_PLUGIN_EXPORT PackedDibHandle ReadGraphicFile(const char* fileName);
REELCARD_PLUGIN_EXPORT uint16_t WriteGraphicFile(const char* fileName, PackedDibHandle dib);
REELCARD_PLUGIN_EXPORT uint16_t GetError(char* buffer);

/* The same exports as function types, for a host that looks them up by name. */
typedef const char* (*GetFileExtensionProc)(void);
typedef uint16_t (*GetLibraryVersionProc)(void);
typedef const char* (*GetCopyrightProc)(void);
typedef const char* (*GetNoticeProc)(void);
typedef PackedDibHandle (*GetFileInformationProc)(const char* fileName);
typedef PackedDibHandle (*ReadGraphicFileProc)(const char* fileName);
typedef uint16_t (*WriteGraphicFileProc)(const char* fileName, PackedDibHandle dib);
typedef uint16_t (*GetErrorProc)(char* buffer);

#ifdef __cplusplus
}
#endif

#endif
