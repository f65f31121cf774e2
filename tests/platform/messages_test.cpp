#include <gtest/gtest.h>

#include <QFileInfo>

#include "platform/code_page.h"
#include "platform/messages.h"
#include "platform/strings.h"
#include "support/test_support.h"

namespace {

TEST(Messages, FormatsStringsAndNumbers) {
    EXPECT_EQ(FormatMessageText("Cannot open file '%s'", {std::string("/tmp/a.cas")}),
              "Cannot open file '/tmp/a.cas'");
    EXPECT_EQ(FormatMessageText("Copy %d of %d", {2LL, 3LL}), "Copy 2 of 3");
    EXPECT_EQ(FormatMessageText("100%% %s", {}), "100% ");
    // A path with a percent sign is not taken for a placeholder.
    EXPECT_EQ(FormatMessageText("'%s'", {std::string("50%s.cas")}), "'50%s.cas'");
    std::string longPath(2000, 'x');
    EXPECT_EQ(FormatMessageText("%s", {longPath}).size(), 815u);
}

TEST(Messages, ShowMessageUsesTheTable) {
    ScriptedPrompter prompter;
    ShowMessage(prompter, MessageOwner::MainWindow(), ErrorStyle(), IDS_CANNOT_READ_FILE,
                {std::string("x.cas")});
    EXPECT_EQ(prompter.LastText(), "Cannot read file 'x.cas' from disk");
}

TEST(Messages, FatalOutOfMemoryStopsAndRequestsClose) {
    ScriptedPrompter prompter;
    FatalOutOfMemory(prompter);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, "Cannot allocate memory, must end");
    EXPECT_EQ(prompter.shown[0].style.icon, MessageIcon::Stop);
    EXPECT_TRUE(prompter.shown[0].style.systemModal);
    EXPECT_EQ(prompter.closeRequests, 1);
}

TEST(Messages, CommonDialogErrors) {
    ScriptedPrompter prompter;
    ReportCommonDialogError(prompter, 0);
    ReportCommonDialogError(prompter, 0x4242);
    EXPECT_TRUE(prompter.shown.empty());
    ReportCommonDialogError(prompter, 0x100B);
    ReportCommonDialogError(prompter, 0xFFFF);
    ReportCommonDialogError(prompter, 0x3003);
    ASSERT_EQ(prompter.shown.size(), 3u);
    EXPECT_EQ(prompter.shown[0].text, "Printer not found");
    EXPECT_EQ(prompter.shown[1].text, "Creation of CD failed on call to DialogBox()");
    EXPECT_EQ(prompter.shown[2].text, "Buffer passed to CD too small to accomodate string");
    EXPECT_EQ(prompter.shown[2].style.icon, MessageIcon::Exclamation);
    // Every code of the table has a text.
    for (uint32_t code : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 0x1001u, 0x1002u,
                          0x1003u, 0x1004u, 0x1005u, 0x1006u, 0x1007u, 0x1008u, 0x1009u, 0x100Au,
                          0x100Cu, 0x2001u, 0x2002u, 0x3001u, 0x3002u}) {
        EXPECT_FALSE(LoadString(CommonDialogErrorString(code)).empty()) << code;
    }
}

TEST(Messages, ProgramFolder) {
    std::string folder = GetProgramFolder();
    EXPECT_TRUE(QFileInfo(QString::fromStdString(folder)).isDir());
    EXPECT_NE(folder.back(), '/');
    EXPECT_EQ(NormalizeFolder("/"), "/");
    EXPECT_EQ(NormalizeFolder("/usr/bin/"), "/usr/bin");
}

TEST(CodePage, EveryByteRoundTrips) {
    for (int b = 1; b < 256; ++b) {
        char16_t ch = CodePageToUnicode(static_cast<unsigned char>(b));
        auto back = UnicodeToCodePage(ch);
        ASSERT_TRUE(back) << b;
        EXPECT_EQ(*back, b);
    }
    EXPECT_EQ(CodePageToUnicode(0xBB), u'\u00BB');
    EXPECT_EQ(CodePageToUnicode(0x80), u'\u20AC');
    EXPECT_FALSE(UnicodeToCodePage(u'\u4E2D'));
    bool ok = true;
    EXPECT_EQ(EncodeCodePage(QString::fromUtf8("caf\u00e9 \u4e2d"), &ok), "caf\xe9 ?");
    EXPECT_FALSE(ok);
}

}  // namespace
