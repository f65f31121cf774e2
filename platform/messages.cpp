#include "platform/messages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "platform/code_page.h"
#include "platform/strings.h"

namespace {
constexpr size_t kMessageBufferChars = 816;
}

MessageResult DefaultAnswer(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::Ok:
        case MessageButtons::OkCancel:
            return MessageResult::Ok;
        case MessageButtons::YesNo:
        case MessageButtons::YesNoCancel:
            return MessageResult::Yes;
    }
    return MessageResult::Ok;
}

std::string FormatMessageText(const std::string& format, const std::vector<MessageArg>& args) {
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c != '%' || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        char kind = format[i + 1];
        if (kind == '%') {
            out += '%';
            ++i;
            continue;
        }
        if (kind != 's' && kind != 'd') {
            out += c;
            continue;
        }
        ++i;
        if (next >= args.size()) continue;
        const MessageArg& arg = args[next++];
        if (const auto* s = std::get_if<std::string>(&arg)) {
            out += *s;
        } else {
            out += std::to_string(std::get<long long>(arg));
        }
    }
    if (out.size() > kMessageBufferChars - 1) out = Utf8Prefix(out, kMessageBufferChars - 1);
    return out;
}

MessageResult ShowMessage(Prompter& prompter, const MessageOwner& owner, const MessageStyle& style,
                          uint16_t stringId, const std::vector<MessageArg>& args) {
    return prompter.Show(owner, style, FormatMessageText(LoadString(stringId, 256), args));
}

void FatalOutOfMemory(Prompter& prompter, const MessageOwner& owner) {
    ShowMessage(prompter, owner, {MessageIcon::Stop, MessageButtons::Ok, true}, IDS_OUT_OF_MEMORY);
    prompter.RequestClose();
}

uint16_t CommonDialogErrorString(uint32_t code) {
    switch (code) {
        case 0xFFFF: return IDS_CDERR_DIALOGFAILURE;
        case 1: return IDS_CDERR_STRUCTSIZE;
        case 2: return IDS_CDERR_INITIALIZATION;
        case 3: return IDS_CDERR_NOTEMPLATE;
        case 4: return IDS_CDERR_NOHINSTANCE;
        case 5: return IDS_CDERR_LOADSTRFAILURE;
        case 6: return IDS_CDERR_FINDRESFAILURE;
        case 7: return IDS_CDERR_LOADRESFAILURE;
        case 8: return IDS_CDERR_LOCKRESFAILURE;
        case 9: return IDS_CDERR_MEMALLOCFAILURE;
        case 10: return IDS_CDERR_MEMLOCKFAILURE;
        case 11: return IDS_CDERR_NOHOOK;
        case 12: return IDS_CDERR_REGISTERMSGFAIL;
        case 0x1001: return IDS_PDERR_SETUPFAILURE;
        case 0x1002: return IDS_PDERR_PARSEFAILURE;
        case 0x1003: return IDS_PDERR_RETDEFFAILURE;
        case 0x1004: return IDS_PDERR_LOADDRVFAILURE;
        case 0x1005: return IDS_PDERR_GETDEVMODEFAIL;
        case 0x1006: return IDS_PDERR_INITFAILURE;
        case 0x1007: return IDS_PDERR_NODEVICES;
        case 0x1008: return IDS_PDERR_NODEFAULTPRN;
        case 0x1009: return IDS_PDERR_DNDMMISMATCH;
        case 0x100A: return IDS_PDERR_CREATEICFAILURE;
        case 0x100B: return IDS_PDERR_PRINTERNOTFOUND;
        case 0x100C: return IDS_PDERR_DEFAULTDIFFERENT;
        case 0x2001: return IDS_CFERR_NOFONTS;
        case 0x2002: return IDS_CFERR_MAXLESSTHANMIN;
        case 0x3001: return IDS_FNERR_SUBCLASSFAILURE;
        case 0x3002: return IDS_FNERR_INVALIDFILENAME;
        case 0x3003: return IDS_FNERR_BUFFERTOOSMALL;
        default: return 0;
    }
}

void ReportCommonDialogError(Prompter& prompter, uint32_t code) {
    uint16_t id = CommonDialogErrorString(code);
    if (id == 0) return;
    ShowMessage(prompter, MessageOwner::None(), ErrorStyle(), id);
}

std::string NormalizeFolder(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string GetProgramFolder() {
    QString dir;
    if (QCoreApplication::instance()) {
        dir = QCoreApplication::applicationDirPath();
    } else {
        dir = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
        dir = QFileInfo(dir).absolutePath();
    }
    return NormalizeFolder(QDir::toNativeSeparators(dir).toStdString());
}
