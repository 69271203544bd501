// Wide arguments as UTF-8 for GoogleTest, and the dialogs' common controls registered first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/wide_win32.h"

#include <windows.h>

#include <commctrl.h>  // needs <windows.h> first

int wmain(int argc, wchar_t** argv) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    std::vector<std::string> args(static_cast<size_t>(argc));
    std::vector<char*> pointers;
    for (int i = 0; i < argc; ++i)
        pointers.push_back((args[i] = platform::FromWide(argv[i], wcslen(argv[i]))).data());
    pointers.push_back(nullptr);
    testing::InitGoogleTest(&argc, pointers.data());
    return RUN_ALL_TESTS();
}
