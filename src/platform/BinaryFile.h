#pragma once
// Binary files written from start to end with a seek back: what a recording
// needs of the file system. The real back end is POSIX; tests use the memory
// back end of platform/virtual/, which can run out of room or fail on demand.
//
// A file object is used by one thread at a time; the recorder hands it from
// the UI thread to its writer thread and back through a thread start and join.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tessaline {

class BinaryFile {
public:
    virtual ~BinaryFile() = default;
    // Writes all of bytes at the current position and moves past them. False
    // when not all of them could be written; some may have been.
    virtual bool Write(const void* bytes, size_t count) = 0;
    // Moves the position to offset bytes from the start.
    virtual bool Seek(uint64_t offset) = 0;
    // Cuts the file to length bytes (the position is not moved).
    virtual bool Truncate(uint64_t length) = 0;
    // Closes the file; it takes no further calls, whatever the result.
    virtual bool Close() = 0;
};

class BinaryFileSystem {
public:
    virtual ~BinaryFileSystem() = default;
    // UI: creates the file for writing, replacing a file of that name.
    // nullptr when it cannot be created.
    virtual std::unique_ptr<BinaryFile> Create(const std::string& path) = 0;
};

// The real files of the machine.
class PosixFileSystem : public BinaryFileSystem {
public:
    std::unique_ptr<BinaryFile> Create(const std::string& path) override;
};

}  // namespace tessaline
