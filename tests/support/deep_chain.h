// POSIX only: a chain of directories deeper than any path the system takes whole.
#pragma once

#include <string>
#include <vector>

// depth directories named name, one inside the other, below base. They are made and removed
// through directory handles, so no path handed to the system is longer than a few levels.
class DeepChain {
public:
    DeepChain(const std::string& base, const std::string& name, int depth);
    ~DeepChain();
    DeepChain(const DeepChain&) = delete;
    DeepChain& operator=(const DeepChain&) = delete;

    // The deepest directory, as one path.
    const std::string& path() const { return path_; }
    // A file in the deepest directory. Whatever that directory holds goes with the chain.
    void WriteFile(const std::string& name, const std::string& bytes);

private:
    static constexpr int kStride = 10;
    // The directory at level (0 is the first below base), relative to its handle.
    std::string Below(int level) const;

    std::string name_;
    int depth_;
    std::string path_;
    std::vector<int> handles_;  // the directories above levels 0, kStride, 2 * kStride, ...
    int deepest_ = -1;
};
