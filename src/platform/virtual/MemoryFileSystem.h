#pragma once
// Test back end of the binary file system: files held in memory, with a disk
// that can fill up, seeks, rewrites and closes that fail on demand, and a gate
// that holds every write until the test opens it. Safe to use from a writer
// thread while the test thread changes the settings and reads the files.

#include <condition_variable>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/BinaryFile.h"

namespace tessaline {

class MemoryFileSystem : public BinaryFileSystem {
public:
    std::unique_ptr<BinaryFile> Create(const std::string& path) override;

    // The disk holds files of at most room bytes; a write past that writes
    // what fits and fails.
    void SetRoom(uint64_t room);
    void SetCreateFails(bool fails);
    void SetSeekFails(bool fails);
    // A write that starts before the end of the file (a rewrite) fails.
    void SetRewriteFails(bool fails);
    void SetCloseFails(bool fails);
    // While held, every write waits until the writes are released.
    void HoldWrites();
    void ReleaseWrites();

    bool Exists(const std::string& path) const;
    std::vector<uint8_t> Bytes(const std::string& path) const;
    bool IsClosed(const std::string& path) const;
    // Every path given to Create, in order (also the failed ones).
    std::vector<std::string> CreatedPaths() const;
    // Writes that have been called, successful or not.
    uint64_t WriteCalls() const;

private:
    friend class MemoryFile;
    struct Contents {
        std::vector<uint8_t> bytes;
        bool closed = false;
    };

    mutable std::mutex mutex;
    std::condition_variable released;
    std::map<std::string, std::shared_ptr<Contents>> files;
    std::vector<std::string> createdPaths;
    uint64_t room = std::numeric_limits<uint64_t>::max();
    bool createFails = false;
    bool seekFails = false;
    bool rewriteFails = false;
    bool closeFails = false;
    bool writesHeld = false;
    uint64_t writeCalls = 0;
};

}  // namespace tessaline
