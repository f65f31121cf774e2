// Message boxes from the string table, the fatal out-of-memory stop, common
// dialog errors and the program's folder.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/prompter.h"

using MessageArg = std::variant<std::string, long long>;

// printf-like formatting limited to "%s", "%d" (and "%%"), with the result cut
// to 815 characters like the fixed buffer the texts were written for.  A
// placeholder without a matching argument expands to nothing.
std::string FormatMessageText(const std::string& format, const std::vector<MessageArg>& args);

MessageResult ShowMessage(Prompter& prompter, const MessageOwner& owner, const MessageStyle& style,
                          uint16_t stringId, const std::vector<MessageArg>& args = {});

// Shows "Cannot allocate memory, must end" and asks the main window to close.
void FatalOutOfMemory(Prompter& prompter, const MessageOwner& owner = MessageOwner::MainWindow());

// Reports an extended error code of a common dialog; 0 and unknown codes are silent.
void ReportCommonDialogError(Prompter& prompter, uint32_t code);

// The string identifier of a common-dialog error code, or 0 when none.
uint16_t CommonDialogErrorString(uint32_t code);

// The folder of the running executable, without a trailing separator except
// at the root.
std::string GetProgramFolder();

// The same rule for any path: drops a trailing separator except at the root.
std::string NormalizeFolder(std::string folder);

// Exclamation icon with an OK button: the style of file and input errors.
inline MessageStyle ErrorStyle() { return {MessageIcon::Exclamation, MessageButtons::Ok, false}; }
