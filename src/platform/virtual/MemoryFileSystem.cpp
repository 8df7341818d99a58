#include "platform/virtual/MemoryFileSystem.h"

#include <algorithm>
#include <cstring>

namespace tessaline {

class MemoryFile : public BinaryFile {
public:
    MemoryFile(MemoryFileSystem& owner, std::shared_ptr<MemoryFileSystem::Contents> data)
        : fs(owner), contents(std::move(data)) {}

    bool Write(const void* bytes, size_t count) override {
        std::unique_lock lock(fs.mutex);
        ++fs.writeCalls;
        fs.released.wait(lock, [this] { return !fs.writesHeld; });
        auto& data = contents->bytes;
        if (fs.rewriteFails && position < data.size()) return false;
        uint64_t fits = position >= fs.room ? 0 : std::min<uint64_t>(count, fs.room - position);
        if (position + fits > data.size()) data.resize(position + fits);
        std::memcpy(data.data() + position, bytes, fits);
        position += fits;
        return fits == count;
    }

    bool Seek(uint64_t offset) override {
        std::lock_guard lock(fs.mutex);
        if (fs.seekFails) return false;
        position = offset;
        return true;
    }

    bool Truncate(uint64_t length) override {
        std::lock_guard lock(fs.mutex);
        contents->bytes.resize(length);
        return true;
    }

    bool Close() override {
        std::lock_guard lock(fs.mutex);
        contents->closed = true;
        return !fs.closeFails;
    }

private:
    MemoryFileSystem& fs;
    std::shared_ptr<MemoryFileSystem::Contents> contents;
    uint64_t position = 0;
};

std::unique_ptr<BinaryFile> MemoryFileSystem::Create(const std::string& path) {
    std::lock_guard lock(mutex);
    createdPaths.push_back(path);
    if (createFails) return nullptr;
    auto contents = std::make_shared<Contents>();
    files[path] = contents;
    return std::make_unique<MemoryFile>(*this, contents);
}

void MemoryFileSystem::SetRoom(uint64_t bytes) {
    std::lock_guard lock(mutex);
    room = bytes;
}
void MemoryFileSystem::SetCreateFails(bool fails) {
    std::lock_guard lock(mutex);
    createFails = fails;
}
void MemoryFileSystem::SetSeekFails(bool fails) {
    std::lock_guard lock(mutex);
    seekFails = fails;
}
void MemoryFileSystem::SetRewriteFails(bool fails) {
    std::lock_guard lock(mutex);
    rewriteFails = fails;
}
void MemoryFileSystem::SetCloseFails(bool fails) {
    std::lock_guard lock(mutex);
    closeFails = fails;
}
void MemoryFileSystem::HoldWrites() {
    std::lock_guard lock(mutex);
    writesHeld = true;
}
void MemoryFileSystem::ReleaseWrites() {
    {
        std::lock_guard lock(mutex);
        writesHeld = false;
    }
    released.notify_all();
}

bool MemoryFileSystem::Exists(const std::string& path) const {
    std::lock_guard lock(mutex);
    return files.count(path) != 0;
}
std::vector<uint8_t> MemoryFileSystem::Bytes(const std::string& path) const {
    std::lock_guard lock(mutex);
    auto it = files.find(path);
    return it == files.end() ? std::vector<uint8_t>{} : it->second->bytes;
}
bool MemoryFileSystem::IsClosed(const std::string& path) const {
    std::lock_guard lock(mutex);
    auto it = files.find(path);
    return it != files.end() && it->second->closed;
}
std::vector<std::string> MemoryFileSystem::CreatedPaths() const {
    std::lock_guard lock(mutex);
    return createdPaths;
}
uint64_t MemoryFileSystem::WriteCalls() const {
    std::lock_guard lock(mutex);
    return writeCalls;
}

}  // namespace tessaline
