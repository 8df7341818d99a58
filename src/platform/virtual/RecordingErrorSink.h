#pragma once
// Test back end of the error sink: keeps every report, in order, and installs
// itself for its lifetime.

#include <mutex>
#include <string>
#include <vector>

#include "platform/ErrorReporting.h"

namespace tessaline {

struct RecordedError {
    std::string message;
    std::string attemptedAction;
    std::string boxText;
};

class RecordingErrorSink : public ErrorSink {
public:
    RecordingErrorSink() : previous(SetErrorSink(this)) {}
    ~RecordingErrorSink() override { SetErrorSink(previous); }
    RecordingErrorSink(const RecordingErrorSink&) = delete;
    RecordingErrorSink& operator=(const RecordingErrorSink&) = delete;

    void Show(const std::string& boxText, const std::string& message,
              const std::string& attemptedAction) override {
        std::lock_guard lock(mutex);
        errors.push_back({message, attemptedAction, boxText});
    }

    std::vector<RecordedError> Errors() const {
        std::lock_guard lock(mutex);
        return errors;
    }
    std::vector<std::string> Messages() const {
        std::lock_guard lock(mutex);
        std::vector<std::string> texts;
        for (const auto& e : errors) texts.push_back(e.message);
        return texts;
    }
    size_t Count() const {
        std::lock_guard lock(mutex);
        return errors.size();
    }
    void Clear() {
        std::lock_guard lock(mutex);
        errors.clear();
    }

private:
    mutable std::mutex mutex;
    std::vector<RecordedError> errors;
    ErrorSink* previous;
};

}  // namespace tessaline
