// The read and write loops of both systems.
#include "platform/file.h"

#include <algorithm>

namespace platform {
namespace {

// One ReadFile or WriteFile counts in a DWORD; pieces this size also keep each call short.
constexpr size_t kMaxTransfer = size_t{16} << 20;

}  // namespace

Error Failure(int code, const char* call, const std::string& path) {
    Error error;
    error.code = code;
    error.call = call;
    error.path = path;
    return error;
}

FileReader::FileReader(std::unique_ptr<SystemFile> file, std::string path, uint64_t sizeAtOpen)
    : file_(std::move(file)), path_(std::move(path)), sizeAtOpen_(sizeAtOpen) {}

bool FileReader::Read(void* buf, size_t n, size_t& got, Error& error) {
    got = 0;
    auto* bytes = static_cast<char*>(buf);
    while (got < n) {
        size_t some = 0;
        int code = 0;
        Transfer result = file_->ReadSome(bytes + got, std::min(n - got, kMaxTransfer), some, code);
        if (result == Transfer::kInterrupted) {
            continue;
        }
        if (result == Transfer::kFailed) {
            error = Failure(code, kCalls.read, path_);
            return false;
        }
        if (some == 0) {
            break;
        }
        got += some;
        offset_ += some;
        if (got < n && offset_ == sizeAtOpen_) {
            break;
        }
    }
    return true;
}

FileWriter::FileWriter(std::unique_ptr<SystemFile> file, std::string path)
    : file_(std::move(file)), path_(std::move(path)) {}

bool FileWriter::Write(const void* data, size_t n, Error& error) {
    auto* bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < n) {
        size_t put = 0;
        int code = 0;
        Transfer result =
            file_->WriteSome(bytes + done, std::min(n - done, kMaxTransfer), put, code);
        if (result == Transfer::kInterrupted) {
            continue;
        }
        if (result == Transfer::kFailed) {
            error = Failure(code, kCalls.write, path_);
            return false;
        }
        done += put;
    }
    return true;
}

bool FileWriter::Flush(Error& error) {
    int code = 0;
    if (!file_->Sync(code)) {
        error = Failure(code, kCalls.sync, path_);
        return false;
    }
    return true;
}

bool FileWriter::Close(Error& error) {
    int code = 0;
    if (!file_->Close(code)) {
        error = Failure(code, kCalls.close, path_);
        return false;
    }
    return true;
}

}  // namespace platform
