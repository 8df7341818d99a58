#pragma once
// Writes organ definition files for tests and benchmarks, section by section.
// Sections and keys keep the order in which they were first set; setting a key
// again replaces its value in place, so a test can start from a complete organ
// and change or remove the one key it is about.

#include <string>
#include <utility>
#include <vector>

namespace tessaline::test {

class OrganFileBuilder {
public:
    // A complete organ with no objects but its one windchest group: one
    // displayed manual of 61 keys without stops, no pedal, "Small" console.
    static OrganFileBuilder MinimalOrgan();

    // Sets key=value in section (created at the end when new).
    OrganFileBuilder& Set(const std::string& section, const std::string& key,
                          const std::string& value);
    // Removes a key (or nothing when absent).
    OrganFileBuilder& Remove(const std::string& section, const std::string& key);

    // The file text, CR LF line ends as organ files usually have.
    std::string Text() const;
    // Number of keys in all sections.
    size_t LineCount() const;
    // Every (section, key) pair, in file order.
    std::vector<std::pair<std::string, std::string>> Keys() const;

private:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> lines;  // key, value
    };
    Section& Find(const std::string& name);
    std::vector<Section> sections;
};

}  // namespace tessaline::test
