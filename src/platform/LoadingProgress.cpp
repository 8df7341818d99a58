#include "platform/LoadingProgress.h"

#include "platform/ErrorReporting.h"

namespace tessaline {

bool CountingLoadingProgress::StepLoadingProgress() {
    if (cancelled) return false;
    if (steps >= cancelAfter) {
        cancelled = true;
        ReportError("Loading the organ has been cancelled by the user.", "Loading an organ.");
        return false;
    }
    ++steps;
    return true;
}

}  // namespace tessaline
