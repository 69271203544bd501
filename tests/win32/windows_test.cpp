// Windows only: path forms handed to W APIs, drives, and code page 932 against Windows itself.
#include <gtest/gtest.h>

#include <string>

#include "platform/dirs.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "platform/wide_win32.h"
#include "tests/support/tempdir.h"

#include <windows.h>

namespace platform {
namespace {

TEST(SystemPath, MakesAbsoluteExtendedLengthPaths) {
    for (const auto& [path, system] : {std::pair{"", L""},
                                       {"C:\\a\\..\\b/c", L"\\\\?\\C:\\b\\c"},
                                       {"C:\\dir\\", L"\\\\?\\C:\\dir\\"},
                                       {"\\\\server\\share\\x", L"\\\\?\\UNC\\server\\share\\x"},
                                       {"\\\\?\\C:\\as is\\..\\", L"\\\\?\\C:\\as is\\..\\"}})
        EXPECT_EQ(SystemPath(path), system) << path;
    EXPECT_EQ(SystemPath("relative"), L"\\\\?\\" + ToWide(FullPath("relative")));
}

// Names the rules of plain paths would change, made through the extended-length form.
TEST(RunRoot, NamesAreUsedExactlyAsListed) {
    TempDir temp;
    const std::string root = RunRoot(temp.path());
    const char* names[] = {"foo.", "foo ", "nul", "con.txt", "aux.c", "plain"};
    for (const std::string name : names) {
        HANDLE file = CreateFileW((L"\\\\?\\" + ToWide(temp.Path(name))).c_str(), GENERIC_WRITE, 0,
                                  nullptr, CREATE_NEW, 0, nullptr);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file, name.data(), DWORD(name.size()), &written, nullptr)) << name;
        CloseHandle(file);
    }
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

// Links are followed to what they lead to; one to nothing is checked by name only.
TEST(List, FollowsLinksToTheirTargets) {
    TempDir temp;
    temp.WriteFile("sub/inner", "x");
    const std::wstring root = L"\\\\?\\" + ToWide(temp.path() + "\\");
    // Wine's CreateSymbolicLinkW succeeds without making anything.
    CreateSymbolicLinkW((root + L"dirlink").c_str(), (root + L"sub").c_str(),
                        SYMBOLIC_LINK_FLAG_DIRECTORY);
    CreateSymbolicLinkW((root + L"dangling").c_str(), (root + L"nowhere").c_str(), 0);
    if (GetFileAttributesW((root + L"dirlink").c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "this system makes no symbolic links";
    std::vector<DirEntry> entries;
    Error error;
    ASSERT_TRUE(RealFileSystem().List(temp.path(), entries, error)) << Describe(error);
    std::string kinds;
    FileId sub;
    ASSERT_TRUE(RealFileSystem().Identify(temp.Path("sub"), sub, error));
    for (const DirEntry& e : entries)
        kinds += e.name +
                 (e.isDir       ? " dir"
                  : e.isRegular ? " file"
                                : " special") +
                 (e.unreadable ? " unreadable" : "") + (e.hasId && e.id == sub ? " sub" : "") +
                 ", ";
    EXPECT_EQ(kinds, "dangling special, dirlink dir sub, sub dir sub, ");
}

// C:\foo, then another drive, then C: again: back in C:\foo.
TEST(SetCurrentDrive, ComesBackToTheDirectoryLeft) {
    TempDir temp;
    std::vector<std::string> drives = Drives();
    std::string saved, back,
        other = drives.back() != temp.path().substr(0, 3) ? drives.back() : drives.front();
    Error error;
    ASSERT_TRUE(GetCurrentDir(saved, error) && SetCurrentDir(temp.path(), error));
    EXPECT_TRUE(SetCurrentDrive(other[0] - 'A' + 1, error)) << Describe(error);
    EXPECT_TRUE(SetCurrentDrive(temp.path()[0] - 'A' + 1, error) && GetCurrentDir(back, error));
    EXPECT_EQ(back, temp.path());
    EXPECT_TRUE(SetCurrentDir(saved, error));
}

// The log is written in code page 932, as a Japanese Windows writes it.
TEST(Cp932Windows, RunsUnderJapaneseCodePage) {
    if (PRIMARYLANGID(GetSystemDefaultLangID()) != LANG_JAPANESE)
        GTEST_SKIP() << "not a Japanese Windows: its code page is not 932";
    EXPECT_EQ(GetACP(), 932u);
}

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
