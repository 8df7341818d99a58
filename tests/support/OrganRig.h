#pragma once
// An Organ with the headless console view and loading dialog, a folder of its
// own for the definition file and samples, and a recorder of every report.

#include <string>

#include "organ/Organ.h"
#include "platform/LoadingProgress.h"
#include "platform/virtual/FixedMetricsConsoleView.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "support/OrganFileBuilder.h"
#include "support/TempDir.h"

namespace tessaline::test {

struct OrganRig {
    explicit OrganRig(uint32_t cancelAfter = UINT32_MAX) : progress(cancelAfter) {}

    // Writes the organ to dir/test.organ and loads it.
    bool Load(const OrganFileBuilder& builder) {
        return organ.Load(dir.Write("test.organ", builder.Text()));
    }
    // Every report so far as "message [action]", joined with " / ".
    std::string Reports() const {
        std::string joined;
        for (const auto& e : errors.Errors())
            joined += (joined.empty() ? "" : " / ") + e.message + " [" + e.attemptedAction + "]";
        return joined;
    }

    TempDir dir;
    RecordingErrorSink errors;
    FixedMetricsConsoleView view;
    CountingLoadingProgress progress;
    Organ organ{view, progress};
};

}  // namespace tessaline::test
