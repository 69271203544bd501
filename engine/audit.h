// An audit: the files a checksum list names read again from their medium, without the source,
// and each one's SHA-256 compared with the listed one, told to a listener as a check is.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "engine/job.h"

namespace engine {

// A listed file: as shown, as the file system is asked for it, its listed digest, and as its
// directory lists it (none when it does not: missing, or its name spelled otherwise).
struct AuditTarget {
    std::string shown, io;
    platform::Sha256::Digest digest;
    std::optional<platform::DirEntry> entry;
};

struct AuditSettings {
    std::vector<AuditTarget> targets;
    size_t blockBytes = 0;                    // read at a time
    const std::atomic<bool>* stop = nullptr;  // raised, the audit stops at the next file or block
    Allocator allocate = AllocateBuffer;
};

class Audit : private Job {
public:
    Audit(AuditSettings settings, platform::FileSystem& fs, Listener& listener);
    ~Audit();

    // Whether there is a buffer to read into, before anything is said.
    bool TakeBuffers() { return FillRing(); }
    // From the counts of the list to the last counts line; after TakeBuffers.
    Outcome Run();

private:
    bool ReadAll();
    size_t Plan(size_t from);
    bool ReadTarget(const AuditTarget& target);

    AuditSettings settings_;
};

}  // namespace engine
