// Windows only: names as listed, files held elsewhere, and code page 932 against Windows.
#include <gtest/gtest.h>

#include "platform/dirs.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "tests/support/tempdir.h"

#include <windows.h>

namespace platform {
namespace {

// Names the rules of plain paths would change, made through the extended-length form; a
// root typed in the device form "\\.\" is one too.
TEST(RunRoot, NamesAreUsedExactlyAsListed) {
    TempDir temp;
    const std::string root = RunRoot(temp.path());
    EXPECT_EQ(RunRoot("\\\\.\\" + temp.path() + "\\x.\\..\\"), root);
    const char* names[] = {"foo.", "foo ", "nul", "con.txt", "aux.c", "plain"};
    for (const std::string name : names)
        temp.WriteFile(name, name);
    std::vector<DirEntry> entries;
    Error error;
    ASSERT_TRUE(RealFileSystem().List(root, entries, error)) << Describe(error);
    EXPECT_EQ(entries.size(), std::size(names));
    for (const DirEntry& entry : entries) {
        auto file = RealFileSystem().OpenRead(root + entry.name, error);
        std::string bytes(16, '\0');
        size_t got = 0;
        EXPECT_TRUE(file && file->Read(bytes.data(), bytes.size(), got, error)) << entry.name;
        EXPECT_EQ(bytes.substr(0, got), entry.name);
    }
}

// Online-only cloud files and offline storage are fetched to be read; the run says so.
TEST(AttributesNotLocal, RecallAndOfflineOnly) {
    EXPECT_TRUE(AttributesNotLocal(0x00400000));  // recall on data access
    EXPECT_TRUE(AttributesNotLocal(0x00040000));  // recall on open
    EXPECT_TRUE(AttributesNotLocal(FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_FALSE(AttributesNotLocal(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY |
                                    FILE_ATTRIBUTE_SPARSE_FILE | FILE_ATTRIBUTE_REPARSE_POINT));
}

// The log is written in code page 932 as Windows writes it, without best fit.
TEST(Cp932Windows, EveryBmpCharacterMatchesWideCharToMultiByte) {
    int disagreements = 0;
    for (unsigned cp = 0; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;  // lone surrogates are covered by the portable tests
        const wchar_t wc = static_cast<wchar_t>(cp);
        std::string windows(8, '\0');
        BOOL usedDefault = FALSE;
        int length = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &wc, 1, windows.data(),
                                         static_cast<int>(windows.size()), "?", &usedDefault);
        windows = length <= 0 || usedDefault ? "?" : windows.substr(0, length);
        std::string ours = Utf8ToCp932(Utf16ToUtf8(std::u16string(1, char16_t(wc))));
        EXPECT_TRUE(ours == windows || ++disagreements > 10)
            << "U+" << std::hex << cp << ": " << testing::PrintToString(ours) << " "
            << testing::PrintToString(windows);
    }
}

}  // namespace
}  // namespace platform
