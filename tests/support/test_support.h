// Helpers shared by the tests.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include <QTemporaryDir>

#include "platform/prompter.h"

// Records every message and answers from a script (the default answer once
// the script runs out).
class ScriptedPrompter : public Prompter {
public:
    struct Shown {
        MessageStyle style;
        std::string text;
    };

    MessageResult Show(const MessageOwner&, const MessageStyle& style, const std::string& text) override;
    MergeChoice AskMerge(const std::string& caption) override;
    RecoveryChoice AskRecover(const std::string& text) override {
        recoverTexts.push_back(text);
        if (recoverAnswers.empty()) return RecoveryChoice::Later;
        const RecoveryChoice answer = recoverAnswers.front();
        recoverAnswers.pop_front();
        return answer;
    }
    void RequestClose() override { ++closeRequests; }
    void SetBusy(bool on) override { busyDepth += on ? 1 : -1; }

    std::vector<Shown> shown;
    std::deque<MessageResult> answers;
    std::deque<MergeChoice> mergeAnswers;
    std::vector<std::string> mergeCaptions;
    std::deque<RecoveryChoice> recoverAnswers;
    std::vector<std::string> recoverTexts;
    int closeRequests = 0;
    int busyDepth = 0;

    std::string LastText() const { return shown.empty() ? std::string() : shown.back().text; }
};

// A temporary folder for the files of one test.
class TempFolder {
public:
    std::string Path(const std::string& name) const;
    bool ok() const { return dir_.isValid(); }

private:
    QTemporaryDir dir_;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
