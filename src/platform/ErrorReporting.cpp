#include "platform/ErrorReporting.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "organ/Constants.h"

namespace tessaline {

namespace {

StderrErrorSink defaultSink;
std::atomic<ErrorSink*> currentSink{&defaultSink};

}  // namespace

ErrorSink* SetErrorSink(ErrorSink* sink) {
    return currentSink.exchange(sink ? sink : &defaultSink);
}

std::string BuildErrorBoxText(const char* message, const char* attemptedAction) {
    char box[kReportTextRoom + 1];
    std::snprintf(box, sizeof box, "Message: %s\n\nAttempted action: %s", message,
                  attemptedAction);
    return box;
}

int ReportError(const char* messageFormat, const char* attemptedAction, ...) {
    char message[kReportTextRoom + 1];
    va_list args;
    va_start(args, attemptedAction);
    std::vsnprintf(message, sizeof message, messageFormat, args);
    va_end(args);
    currentSink.load()->Show(BuildErrorBoxText(message, attemptedAction), message,
                             attemptedAction);
    return 1;
}

void StderrErrorSink::Show(const std::string& boxText, const std::string&, const std::string&) {
    std::fprintf(stderr, "%s\n----\n", boxText.c_str());
}

}  // namespace tessaline
