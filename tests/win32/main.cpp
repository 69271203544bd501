// The Windows test program's entry: wide arguments to UTF-8 for GoogleTest, and the common
// controls the dialogs use registered first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/wide_win32.h"

#include <windows.h>

#include <commctrl.h>  // needs <windows.h> first

int wmain(int argc, wchar_t** argv) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i)
        args.push_back(platform::FromWide(argv[i], wcslen(argv[i])));
    std::vector<char*> ptrs;
    for (std::string& a : args)
        ptrs.push_back(a.data());
    ptrs.push_back(nullptr);
    testing::InitGoogleTest(&argc, ptrs.data());
    return RUN_ALL_TESTS();
}
