#pragma once
// The one way Tessaline tells the player that something failed: a message and
// the action that was under way, shown together in one box. Where the box
// appears is the business of the installed ErrorSink: a Qt message box in the
// application, stderr in the command-line tools, a recorder in tests.

#include <string>
#include <vector>

namespace tessaline {

class ErrorSink {
public:
    virtual ~ErrorSink() = default;
    // boxText is "Message: <message>\n\nAttempted action: <action>", already cut
    // to the room of the box. May be called from any thread.
    virtual void Show(const std::string& boxText, const std::string& message,
                      const std::string& attemptedAction) = 0;
};

// Installs the sink that ReportError uses (nullptr: the stderr printer).
// Returns the previous one. Not for use while other threads report.
ErrorSink* SetErrorSink(ErrorSink* sink);

// Formats messageFormat (printf) with the further arguments, builds the box
// text and hands it to the sink. The attempted action is shown as written,
// never formatted. Both texts are cut at 2047 characters. Returns 1 (OK).
int ReportError(const char* messageFormat, const char* attemptedAction, ...)
    __attribute__((format(printf, 1, 3)));

// Holds back the reports this thread makes while it lives and hands them on,
// in order, when it ends. For work done under a lock that other threads wait
// for: on the UI thread a box waits for the player, and the lock with it.
// Scopes nest; the outermost one delivers.
class DeferredReports {
public:
    DeferredReports();
    ~DeferredReports();
    DeferredReports(const DeferredReports&) = delete;
    DeferredReports& operator=(const DeferredReports&) = delete;

    // To the innermost scope of this thread, else to the sink.
    static void Deliver(const std::string& boxText, const std::string& message,
                        const std::string& attemptedAction);

private:
    struct Held {
        std::string boxText, message, attemptedAction;
    };
    DeferredReports* outer;
    std::vector<Held> held;
};

// The box text for a message and an action, as ReportError builds it.
std::string BuildErrorBoxText(const char* message, const char* attemptedAction);

// Prints every report to stderr as its box text followed by a line "----".
class StderrErrorSink : public ErrorSink {
public:
    void Show(const std::string& boxText, const std::string& message,
              const std::string& attemptedAction) override;
};

}  // namespace tessaline
