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

TEST(CodePage, EveryByteOfEveryCodePageRoundTrips) {
    const int pages[] = {1252, 1250, 1251, 1253, 1254, 1255, 1256, 1257, 1258, 874, 437};
    for (int page : pages) {
        for (int b = 1; b < 256; ++b) {
            if (b == '\t') continue;  // the tab character stands for the tab mark
            const char16_t ch = CodePageToUnicode(static_cast<unsigned char>(b), page);
            auto back = UnicodeToCodePage(ch, page);
            ASSERT_TRUE(back) << page << " " << b;
            EXPECT_EQ(*back, b) << page;
        }
        // The tab mark is the same byte and the tab character everywhere; the
        // letter "»" is never the tab mark's byte, and only the OEM page has
        // it elsewhere.
        EXPECT_EQ(CodePageToUnicode(0xBB, page), u'\t') << page;
        EXPECT_EQ(UnicodeToCodePage(u'\t', page), 0xBB) << page;
        EXPECT_EQ(UnicodeToCodePage(u'\u00BB', page), page == 437 ? std::optional<unsigned char>(0xAF) : std::nullopt)
            << page;
        EXPECT_FALSE(UnicodeToCodePage(u'\u4E2D', page)) << page;
    }
    // A few letters of each, as the platform's tables have them.
    EXPECT_EQ(CodePageToUnicode(0x80), u'\u20AC');
    EXPECT_EQ(CodePageToUnicode(0x81), u'\u0081');  // undefined: its own value
    EXPECT_EQ(CodePageToUnicode(0xA3, 1250), u'\u0141');
    EXPECT_EQ(CodePageToUnicode(0x9F, 1250), u'\u017A');
    EXPECT_EQ(CodePageToUnicode(0xCF, 1251), u'\u041F');
    EXPECT_EQ(CodePageToUnicode(0xC5, 1253), u'\u0395');
    EXPECT_EQ(CodePageToUnicode(0xAA, 1253), u'\uF7AA');  // undefined above 0x9F
    EXPECT_EQ(CodePageToUnicode(0xD0, 1254), u'\u011E');
    EXPECT_EQ(CodePageToUnicode(0xE0, 1255), u'\u05D0');
    EXPECT_EQ(CodePageToUnicode(0xC7, 1256), u'\u0627');
    EXPECT_EQ(CodePageToUnicode(0xC2, 1257), u'\u0100');
    EXPECT_EQ(CodePageToUnicode(0xDD, 1258), u'\u01AF');
    EXPECT_EQ(CodePageToUnicode(0xA1, 874), u'\u0E01');
    EXPECT_EQ(CodePageToUnicode(0xB0, 437), u'\u2591');
    // Where the page's own character at 0xBB cannot be kept, and the OEM
    // page's own guillemet, the one "»" a liner keeps.
    EXPECT_FALSE(UnicodeToCodePage(u'\u0E1B', 874));
    EXPECT_FALSE(UnicodeToCodePage(u'\u2557', 437));
    EXPECT_EQ(CodePageToUnicode(0xAF, 437), u'\u00BB');
    EXPECT_EQ(CodePageGlyph(0xAF, 437), u'\u00BB');
    EXPECT_EQ(CodePageGlyph(0xCF, 1251), u'\u041F');

    bool ok = true;
    EXPECT_EQ(EncodeCodePage(QString::fromUtf8("caf\u00e9 \u4e2d"), &ok), "caf\xe9 ?");
    EXPECT_FALSE(ok);
    EXPECT_EQ(EncodeCodePage(QString::fromUtf8("\u041F\u0440\u0438"), 1251, &ok), "\xCF\xF0\xE8");
    EXPECT_TRUE(ok);
    EXPECT_EQ(DecodeCodePage("\xC5\xEB", 1253), QString::fromUtf8("\u0395\u03BB"));
}

TEST(CodePage, CharacterSetsNameTheirCodePages) {
    const std::pair<int, int> sets[] = {{0, 1252},   {1, 1252},   {2, 1252},   {238, 1250}, {204, 1251},
                                        {161, 1253}, {162, 1254}, {177, 1255}, {178, 1256}, {186, 1257},
                                        {163, 1258}, {222, 874},  {255, 437},  {128, 1252}, {136, 1252}};
    for (const auto& [charSet, page] : sets) EXPECT_EQ(CodePageOfCharSet(static_cast<uint8_t>(charSet)), page) << charSet;
    EXPECT_EQ(ScriptCharSets().front(), 0);
}

}  // namespace
