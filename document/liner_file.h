// Liner files and format files: reading every layout from version 4.00 on,
// writing the current one (5.07).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "document/liner.h"

class Prompter;

constexpr uint16_t kFileMajor = 5;
constexpr uint16_t kFileMinor = 7;
constexpr size_t kFormatBlockSize = 419;

enum class FileKind { Liner, Format };

enum class ParseStatus {
    Ok,
    Malformed,     // short or inconsistent: "Cannot read file"
    OlderVersion,  // a liner file of the earlier generation
};

// Reads `bytes` into `out`.  For a Format only the Format fields of `out` are
// replaced.  Nothing is asked and nothing is shown.
ParseStatus ParseLinerBytes(const std::vector<uint8_t>& bytes, FileKind kind, Liner& out);

// The bytes of the current layout, or nothing when the Liner cannot be
// represented in it (a text longer than 65535 bytes, a feature record over
// 65535 bytes).
std::optional<std::vector<uint8_t>> SerializeLiner(const Liner& liner, FileKind kind);

// Reads a liner file into `liner`.  A file of the earlier generation is merged
// (asking unless `unattended`); `merged` then reports that the Liner now holds
// unsaved changes.  On failure the user has been told (except for a cancelled
// merge) and `liner` is unchanged.
bool ReadLinerFile(Liner& liner, const std::string& path, bool unattended, Prompter& prompter,
                   bool* merged = nullptr);

// Compacts the fonts (renumbering `lastFont`) and writes the Liner.  The old
// file is replaced only when the new one was written completely.
bool WriteLinerFile(Liner& liner, const std::string& path, Prompter& prompter,
                    uint16_t* lastFont = nullptr);

bool ReadFormatFile(Liner& liner, const std::string& path, Prompter& prompter);
bool WriteFormatFile(Liner& liner, const std::string& path, Prompter& prompter,
                     uint16_t* lastFont = nullptr);

// The title of a liner file for the open dialog's preview, read quietly.
std::optional<TextBlock> ReadTitlePreview(const std::string& path);

// The whole file, or nothing when it cannot be opened.  Files beyond any
// plausible liner size are not loaded.
std::optional<std::vector<uint8_t>> LoadFileBytes(const std::string& path);

// The absolute folder of a file.
std::string FolderOf(const std::string& path);

// The file name without its folder, as shown in captions.
std::string FileTitle(const std::string& path);
