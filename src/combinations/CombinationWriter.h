#pragma once
// Writes a section-and-key text file in one pass: "[Section]" lines, each
// followed by its "key=value" lines, CR LF line ends as organ files have.
// The text goes to a temporary file beside the target, which replaces the
// target only when Commit succeeds, so a failed write never leaves a half
// written file where a complete one was.

#include <string>

namespace tessaline {

class CombinationWriter {
public:
    CombinationWriter() = default;
    ~CombinationWriter();
    CombinationWriter(const CombinationWriter&) = delete;
    CombinationWriter& operator=(const CombinationWriter&) = delete;

    // Creates the temporary file for target; false when it cannot be made.
    bool Create(const std::string& target);
    // Each false once anything could not be written.
    bool Section(const std::string& name);
    bool Key(const std::string& key, const std::string& value);
    bool Key(const std::string& key, int value);
    // Writes out what is left, makes it durable and renames it over the
    // target; false (with the target untouched) when any step fails.
    bool Commit();
    // Removes the temporary file; the target is untouched. Also done by the
    // destructor of a writer that was not committed.
    void Abandon();

    const std::string& TemporaryPath() const { return temporaryPath; }

private:
    bool Write(const std::string& text);

    std::string targetPath;
    std::string temporaryPath;
    int fd = -1;
    bool failed = false;
};

}  // namespace tessaline
