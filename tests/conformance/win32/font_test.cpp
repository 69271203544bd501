// The dialogs' font asks for the Japanese character set, so that a fallback for its face is
// a Japanese face too. Wine makes the font with the default set whatever the template says,
// so the template itself is read.
#include <gtest/gtest.h>

#include "framework/win32/win32.h"
#include "platform/wide_win32.h"
#include "res/resource.h"

#include <windows.h>

TEST(Win32Template, TheFontAsksForShiftJis) {
    for (int id : {IDD_COPYCHECK_DIALOG, IDD_DIRSELECT}) {
        const fw::DialogTemplate& tpl = *fw::FindDialogTemplate(id);
        std::vector<uint16_t> words = fw::win32::TemplateWords(tpl);
        // The caption from word 15 on; then the point size, the weight, the italic flag and
        // the character set, and the face name.
        size_t font = 15 + platform::ToWide(tpl.caption).size() + 1;
        ASSERT_GT(words.size(), font + 3);
        EXPECT_EQ(words[font], 9);
        EXPECT_EQ(words[font + 2], MAKEWORD(FALSE, SHIFTJIS_CHARSET));
        EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(&words[font + 3])),
                  L"ＭＳ Ｐゴシック");
    }
}
