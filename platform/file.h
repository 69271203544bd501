// Reading and writing files, shared by both systems over each system's single calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/fs.h"

namespace platform {

// A failed call, named as the caller named the path.
Error Failure(int code, const char* call, const std::string& path);

// What one system call did.
enum class Transfer { kDone, kInterrupted, kFailed };

// An open file as the system has it, one call at a time; each system has its own. Closed by
// the destructor when Close was not called.
class SystemFile {
public:
    virtual ~SystemFile() = default;
    // One read of at most n bytes; got 0 at the end of the file. code on kFailed.
    virtual Transfer ReadSome(void* buf, size_t n, size_t& got, int& code) = 0;
    // One write of at most n bytes; put counts what went in. code on kFailed.
    virtual Transfer WriteSome(const void* data, size_t n, size_t& put, int& code) = 0;
    // Writes what the file holds through to its medium; a file that cannot says so.
    virtual bool Sync(int& code) {
        code = -1;
        return false;
    }
    virtual bool Close(int& code) = 0;
    // What the open file is; false when the system cannot say.
    virtual bool Identity(FileIdentity& /*id*/) const { return false; }
};

// The system's names of its calls, for errors.
struct CallNames {
    const char* read;
    const char* write;
    const char* close;
    const char* sync;
};
extern const CallNames kCalls;

// Fills each buffer with as many calls as it takes, and stops at the size the file had when
// it was opened: a short read that ends there is the end, without one more read to hear it.
// A file that grew is read on to its end.
class FileReader : public InputFile {
public:
    FileReader(std::unique_ptr<SystemFile> file, std::string path,
               uint64_t sizeAtOpen = UINT64_MAX);
    bool Read(void* buf, size_t n, size_t& got, Error& error) override;
    bool Identity(FileIdentity& id) const override { return file_->Identity(id); }

private:
    std::unique_ptr<SystemFile> file_;
    std::string path_;
    uint64_t sizeAtOpen_;
    uint64_t offset_ = 0;
};

class FileWriter : public OutputFile {
public:
    FileWriter(std::unique_ptr<SystemFile> file, std::string path);
    bool Write(const void* data, size_t n, Error& error) override;
    bool Flush(Error& error) override;
    bool Close(Error& error) override;

private:
    std::unique_ptr<SystemFile> file_;
    std::string path_;
};

}  // namespace platform
