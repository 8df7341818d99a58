#include "combinations/CombinationWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace tessaline {

CombinationWriter::~CombinationWriter() { Abandon(); }

bool CombinationWriter::Create(const std::string& target) {
    Abandon();
    targetPath = target;
    failed = false;
    // A temporary left by a crashed save is replaced; O_EXCL keeps a second
    // writer in this process from sharing it.
    temporaryPath = target + ".saving";
    for (int attempt = 0; attempt < 2 && fd < 0; ++attempt) {
        fd = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST && attempt == 0) ::unlink(temporaryPath.c_str());
    }
    if (fd < 0) {
        temporaryPath.clear();
        return false;
    }
    return true;
}

bool CombinationWriter::Write(const std::string& text) {
    if (failed || fd < 0) return false;
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed = true;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool CombinationWriter::Section(const std::string& name) { return Write("[" + name + "]\r\n"); }

bool CombinationWriter::Key(const std::string& key, const std::string& value) {
    return Write(key + "=" + value + "\r\n");
}

bool CombinationWriter::Key(const std::string& key, int value) {
    return Key(key, std::to_string(value));
}

bool CombinationWriter::Commit() {
    if (failed || fd < 0 || ::fsync(fd) != 0) {
        Abandon();
        return false;
    }
    int closing = fd;
    fd = -1;
    if (::close(closing) != 0 || ::rename(temporaryPath.c_str(), targetPath.c_str()) != 0) {
        ::unlink(temporaryPath.c_str());
        temporaryPath.clear();
        return false;
    }
    temporaryPath.clear();
    return true;
}

void CombinationWriter::Abandon() {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
    if (!temporaryPath.empty()) {
        ::unlink(temporaryPath.c_str());
        temporaryPath.clear();
    }
}

}  // namespace tessaline
