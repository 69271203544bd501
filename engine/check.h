// The check of a copy against its source, without a window: the header lines, the size scan,
// the walk that compares every file, and the closing lines, told to a listener as they come.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/job.h"
#include "scheduling/side_by_side.h"

namespace engine {

struct Settings {
    std::string source;
    // The copies, each compared with the one reading of the source; one for a window.
    std::vector<std::string> copies;
    size_t blockBytes = 0;  // what one comparison reads of each side
    // The findings after which the check stops; 0 for no limit.
    unsigned differenceLimit = 1;
    bool namesOnly = false;
    bool cached = false;    // the copy is read through the system's cache, as the source is
    bool readAhead = true;  // files read, and directories listed, before they are needed
    bool digests = false;   // files that compare equal are hashed for Listener::Verified
    bool extras = false;    // entries only in the copy are findings
    bool keepLog = false;   // for the header: whether the front end keeps a log,
    std::string logPath;    // and where
    const std::atomic<bool>* stop = nullptr;  // raised, the check stops at the next file or block
    Allocator allocate = AllocateBuffer;
    // Files this run makes in the copy (the manifest's temporary): never extras.
    std::vector<std::string> ownFiles;
};

struct WalkLevel;  // a directory on the path being walked

class Check : private Job {
public:
    Check(Settings settings, platform::FileSystem& fs, Listener& listener);
    ~Check();
    Check(const Check&) = delete;
    Check& operator=(const Check&) = delete;

    // From the buffers to the last counts line; on any thread, which the file system's pulse
    // is given to while it runs.
    Outcome Run();

private:
    // A root of the trees being walked, as shown and as the file system is asked for it;
    // every path below it is one of these and names exactly as listed.
    struct Root {
        std::string shown, io;
    };
    // A copy being checked.
    struct Copy {
        Root root;
        platform::AlignedBuffer buffer;  // its block beside the source's
        uint64_t differences = 0;
        bool remote = false;  // on a network volume
        platform::FileId id;  // of its root, when it has one, to pass it over in the source
        bool idKnown = false;
        // During the comparison of one file: its copy here, while it is still compared, and
        // whether its last block was read, and how much of it.
        std::unique_ptr<platform::InputFile> file;
        bool read = false;
        size_t got = 0;
    };
    // The copies compared at a place of the walk, by their index.
    using Copies = std::vector<size_t>;
    // check.cpp
    void TakeBuffers();
    bool CheckTrees();
    void AddHeader();
    bool SameDirectory(const std::string& a, const std::string& b);
    void Release();
    bool Reached(size_t copy) const {
        return settings_.differenceLimit != 0 &&
               copies_[copy].differences >= settings_.differenceLimit;
    }
    bool LimitReached() const;  // by every copy
    Copies Compared(const std::vector<bool>& passedOver) const;
    // A finding's line, counted for its copy, or for each of `about` when it is the source's.
    void Report(const std::string& before, const std::string& path, const std::string& after,
                LineInfo info, const Copies& about);
    // Where a copy's path stands in a finding line: the source's path with one copy.
    const std::string& Named(const std::string& srcPath, const std::string& dstPath) const {
        return copies_.size() > 1 ? dstPath : srcPath;
    }
    std::string CopyPath(size_t copy, const std::string& srcPath) const;

    // walk.cpp
    void ScanTotalSize(std::string dir);
    void Walk(std::string srcDir);
    void Enter(std::vector<WalkLevel>& levels, WalkLevel level, bool root, std::string& srcDir);
    void StartReads();
    void StopReads();
    void WalkDirectory(std::vector<WalkLevel>& levels, const platform::DirEntry& entry,
                       std::string& srcDir);
    size_t PlanReads(const WalkLevel& level, const std::string& srcDir);
    static Root RootOf(std::string dir);
    void FindRoots();
    std::string Io(const std::string& shown) const;
    bool SameEntry(const std::string& a, const std::string& b);
    // The copy whose root the entry is, or none.
    std::optional<size_t> CopyRootAt(const platform::DirEntry& entry, const std::string& io);
    void KeepListing(const std::string& dir, std::vector<platform::DirEntry>& entries);
    void DropKeptListings();

    // extras.cpp
    void IdentifyOwnFiles();
    platform::FileId IdOf(const platform::DirEntry& entry, const std::string& io);
    std::vector<platform::FileId> OpenedUnderOtherNames(const std::vector<std::string>& names,
                                                        const std::vector<platform::DirEntry>& copy,
                                                        const std::string& dstDir);
    void FindExtras(size_t copy, const std::vector<std::string>& names, const std::string& dstDir);

    // compare.cpp
    void CompareFile(const std::string& srcDir, const platform::DirEntry& entry,
                     const Copies& compared);
    Copies OpenCopies(const std::string& srcPath, const Copies& compared);
    void CompareOpen(const std::string& srcPath, const platform::DirEntry& entry, Copies open);
    void CompareByName(const std::string& srcPath, const Copies& compared);
    Copies CompareContents(std::unique_ptr<platform::InputFile>& src, const std::string& srcPath,
                           Copies live, uint64_t total);
    bool CompareBlock(size_t copy, const std::string& srcPath, const unsigned char* data,
                      size_t length, uint64_t at, size_t& differsAt);
    void CloseCopies(const Copies& open);

    Settings settings_;
    std::vector<Copy> copies_;  // as Settings::copies
    // Below this a block is read in less time than a thread takes to wake up.
    static constexpr size_t kSideBySide = size_t{256} << 10;
    std::unique_ptr<scheduling::SideBySide> sideBySide_;  // with several copies
    Root srcRoot_;
    bool sourceUnlisted_ = false;           // the source's own directory could not be listed
    std::vector<platform::FileId> ownIds_;  // of Settings::ownFiles
    // Listings of the size scan kept for the walk, by directory, up to kKeptListings bytes: a
    // directory is then listed once a check. The walk takes each as it enters its directory.
    static constexpr size_t kKeptListings = size_t{4} << 20;
    std::unordered_map<std::string, std::vector<platform::DirEntry>> scanned_;
    size_t scannedBytes_ = 0;
};

}  // namespace engine
