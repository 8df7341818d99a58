#pragma once
// Shared by the loader tests of this folder: walking a section's keys in the
// order the loader reads them, and the reports of a failed load as one text.

#include <gtest/gtest.h>

#include <functional>
#include <span>
#include <string>

#include "platform/virtual/RecordingErrorSink.h"
#include "support/OrganFileBuilder.h"

namespace tessaline::test {

struct KeyStep {
    const char* key;
    const char* bad;  // null: the key is removed
    const char* message;
    const char* fixed;  // null: the key is removed
};

// Spoils each step's key in `section`, expects `result` to give what
// `expected` makes of the step's message, then sets the key to `fixed`: a
// step's key is read after the keys of the steps before it.
inline void WalkKeys(OrganFileBuilder& file, const std::string& section,
                     std::span<const KeyStep> steps, const std::function<std::string()>& result,
                     const std::function<std::string(const std::string&)>& expected) {
    auto put = [&](const char* key, const char* value) {
        if (value) file.Set(section, key, value);
        else file.Remove(section, key);
    };
    for (const KeyStep& step : steps) {
        SCOPED_TRACE(step.key);
        put(step.key, step.bad);
        EXPECT_EQ(result(), expected(step.message));
        put(step.key, step.fixed);
    }
}

// Every report as "message [action]", joined with " / ".
inline std::string JoinedReports(const RecordingErrorSink& errors) {
    std::string joined;
    for (const auto& e : errors.Errors())
        joined += (joined.empty() ? "" : " / ") + e.message + " [" + e.attemptedAction + "]";
    return joined;
}

}  // namespace tessaline::test
