#ifndef _WIN32
#include "tests/support/deep_chain.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

DeepChain::DeepChain(const std::string& base, const std::string& name, int depth)
    : name_(name), depth_(depth), path_(base) {
    int fd = open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < depth && fd >= 0; ++i) {
        if (i % kStride == 0)
            handles_.push_back(dup(fd));
        mkdirat(fd, name.c_str(), 0700);
        int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        fd = next;
        path_ += "/" + name;
    }
    EXPECT_GE(fd, 0) << "cannot make the chain below " << base;
    deepest_ = fd;
}

DeepChain::~DeepChain() {
    if (DIR* dir = fdopendir(deepest_)) {
        while (dirent* entry = readdir(dir))
            unlinkat(deepest_, entry->d_name, 0);  // fails for "." and ".."
        closedir(dir);
    }
    for (int level = depth_ - 1; level >= 0; --level) {
        if (static_cast<size_t>(level / kStride) < handles_.size())
            unlinkat(handles_[level / kStride], Below(level).c_str(), AT_REMOVEDIR);
    }
    for (int handle : handles_)
        close(handle);
}

void DeepChain::WriteFile(const std::string& name, const std::string& bytes) {
    int file = openat(deepest_, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    EXPECT_EQ(write(file, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(file);
}

std::string DeepChain::Below(int level) const {
    std::string rel = name_;
    for (int i = level % kStride; i > 0; --i)
        rel += "/" + name_;
    return rel;
}
#endif
