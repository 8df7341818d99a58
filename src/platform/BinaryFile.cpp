#include "platform/BinaryFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

namespace tessaline {

namespace {

class PosixFile : public BinaryFile {
public:
    explicit PosixFile(int descriptor) : fd(descriptor) {}
    ~PosixFile() override {
        if (fd >= 0) ::close(fd);
    }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    bool Write(const void* bytes, size_t count) override {
        const auto* next = static_cast<const char*>(bytes);
        // write() may take fewer bytes than asked (a signal, a nearly full
        // disk); go on until all are written or it refuses.
        while (count > 0) {
            ssize_t written = ::write(fd, next, count);
            if (written < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            if (written == 0) return false;
            next += written;
            count -= static_cast<size_t>(written);
        }
        return true;
    }

    bool Seek(uint64_t offset) override {
        if (offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) return false;
        return ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) >= 0;
    }

    bool Truncate(uint64_t length) override {
        if (length > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) return false;
        int result;
        do {
            result = ::ftruncate(fd, static_cast<off_t>(length));
        } while (result < 0 && errno == EINTR);
        return result == 0;
    }

    bool Close() override {
        int descriptor = fd;
        fd = -1;
        // A close that reports an error (a delayed write that failed) still
        // releases the descriptor; it must not be closed twice.
        return ::close(descriptor) == 0;
    }

private:
    int fd;
};

}  // namespace

std::unique_ptr<BinaryFile> PosixFileSystem::Create(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixFile>(fd);
}

}  // namespace tessaline
