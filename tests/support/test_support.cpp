#include "support/test_support.h"

#include <fstream>
#include <iterator>

#include "platform/messages.h"

MessageResult ScriptedPrompter::Show(const MessageOwner&, const MessageStyle& style,
                                     const std::string& text) {
    shown.push_back({style, text});
    if (answers.empty()) return DefaultAnswer(style.buttons);
    MessageResult answer = answers.front();
    answers.pop_front();
    return answer;
}

MergeChoice ScriptedPrompter::AskMerge(const std::string& caption) {
    mergeCaptions.push_back(caption);
    if (mergeAnswers.empty()) return MergeChoice::All;
    MergeChoice answer = mergeAnswers.front();
    mergeAnswers.pop_front();
    return answer;
}

std::string TempFolder::Path(const std::string& name) const {
    return dir_.filePath(QString::fromStdString(name)).toStdString();
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
