// Network volumes on POSIX: NFS and SMB answer uncached reads from the server's memory too.
#include <sys/vfs.h>

#include "platform/fs.h"

namespace platform {

bool OnRemoteVolume(const std::string& path) {
    struct statfs fs;
    if (statfs(path.c_str(), &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
        case 0x6969:      // NFS
        case 0xFF534D42:  // CIFS
        case 0xFE534D42:  // SMB2
        case 0x517B:      // SMB
        case 0x564C:      // NCP
        case 0x6B414653:  // AFS
            return true;
    }
    return false;
}

bool AttributesNotLocal(uint32_t) {
    return false;
}

}  // namespace platform
