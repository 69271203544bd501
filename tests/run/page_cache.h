// What the page cache holds of a file, and how to make it forget one, for tests that check
// that the copy was read from its medium (Linux).
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace test {

// Whether the file system holding file takes O_DIRECT reads.
inline bool TakesDirectReads(const std::string& file) {
    int fd = open(file.c_str(), O_RDONLY | O_DIRECT);
    void* buf = nullptr;
    bool ok = fd >= 0 && posix_memalign(&buf, 4096, 4096) == 0 && pread(fd, buf, 4096, 0) >= 0;
    free(buf);
    close(fd);
    return ok;
}

// Writes the file's pages out and asks the system to forget them.
inline void DropFromCache(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR);
    EXPECT_TRUE(fd >= 0 && fsync(fd) == 0 && posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0);
    close(fd);
}

// How many of the file's pages are in the page cache, and how many it has. Mapping the file
// counts as an access.
inline std::pair<size_t, size_t> ResidentPages(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY);
    struct stat st {};
    fstat(fd, &st);
    size_t size = static_cast<size_t>(st.st_size), page = 4096;
    std::vector<unsigned char> in((size + page - 1) / page);
    void* map = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    close(fd);
    EXPECT_TRUE(map != MAP_FAILED && mincore(map, size, in.data()) == 0) << path;
    if (map != MAP_FAILED)
        munmap(map, size);
    size_t resident = 0;
    for (unsigned char p : in)
        resident += p & 1;
    return {resident, in.size()};
}

}  // namespace test
