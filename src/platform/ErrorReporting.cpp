#include "platform/ErrorReporting.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "organ/Constants.h"

namespace tessaline {

namespace {

StderrErrorSink defaultSink;
std::atomic<ErrorSink*> currentSink{&defaultSink};
thread_local DeferredReports* innermost = nullptr;

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
    DeferredReports::Deliver(BuildErrorBoxText(message, attemptedAction), message,
                             attemptedAction);
    return 1;
}

DeferredReports::DeferredReports() : outer(innermost) { innermost = this; }

DeferredReports::~DeferredReports() {
    innermost = outer;
    for (const Held& report : held) Deliver(report.boxText, report.message, report.attemptedAction);
}

void DeferredReports::Deliver(const std::string& boxText, const std::string& message,
                              const std::string& attemptedAction) {
    if (innermost != nullptr)
        innermost->held.push_back({boxText, message, attemptedAction});
    else
        currentSink.load()->Show(boxText, message, attemptedAction);
}

void StderrErrorSink::Show(const std::string& boxText, const std::string&, const std::string&) {
    std::fprintf(stderr, "%s\n----\n", boxText.c_str());
}

}  // namespace tessaline
