// Network volumes and files held elsewhere, on Windows.
#include <string>

#include "platform/fs.h"
#include "platform/wide_win32.h"

#include <windows.h>

namespace platform {
namespace {

// Newer than the headers this is built with.
constexpr DWORD kRecallOnOpen = 0x00040000;
constexpr DWORD kRecallOnDataAccess = 0x00400000;

}  // namespace

bool OnRemoteVolume(const std::string& path) {
    std::wstring system = SystemPath(path);
    std::wstring volume(system.size() + 1, L'\0');
    if (GetVolumePathNameW(system.c_str(), volume.data(), static_cast<DWORD>(volume.size())) &&
        GetDriveTypeW(volume.c_str()) == DRIVE_REMOTE)
        return true;
    // A share reached by a UNC path, or a redirector the drive type does not tell.
    HANDLE handle = CreateFileW(system.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    FILE_REMOTE_PROTOCOL_INFO info{};
    bool remote = GetFileInformationByHandleEx(handle, FileRemoteProtocolInfo, &info, sizeof info);
    CloseHandle(handle);
    return remote;
}

bool AttributesNotLocal(uint32_t attributes) {
    return (attributes & (kRecallOnDataAccess | kRecallOnOpen | FILE_ATTRIBUTE_OFFLINE)) != 0;
}

}  // namespace platform
