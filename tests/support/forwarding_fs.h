// A file system that hands every call to the real one; tests override what they change.
#pragma once

#include "platform/fs.h"

class ForwardingFileSystem : public platform::FileSystem {
public:
    bool List(const std::string& dir, std::vector<platform::DirEntry>& entries,
              platform::Error& error) override {
        return real.List(dir, entries, error);
    }
    std::unique_ptr<platform::InputFile> OpenRead(const std::string& path,
                                                  platform::Error& error) override {
        return real.OpenRead(path, error);
    }
    std::unique_ptr<platform::InputFile> OpenReadFromMedium(const std::string& path,
                                                            platform::Error& error) override {
        return real.OpenReadFromMedium(path, error);
    }
    bool Exists(const std::string& path) override { return real.Exists(path); }
    bool Identify(const std::string& path, platform::FileId& id, platform::Error& error) override {
        return real.Identify(path, id, error);
    }
    std::unique_ptr<platform::OutputFile> Create(const std::string& path,
                                                 platform::Error& error) override {
        return real.Create(path, error);
    }
    bool ChangeDir(const std::string& dir, platform::Error& error) override {
        return real.ChangeDir(dir, error);
    }
    bool ChangeDrive(int drive, platform::Error& error) override {
        return real.ChangeDrive(drive, error);
    }

protected:
    platform::FileSystem& real = platform::RealFileSystem();
};
