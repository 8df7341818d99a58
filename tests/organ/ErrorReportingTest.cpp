#include "platform/ErrorReporting.h"

#include <gtest/gtest.h>

#include "platform/virtual/RecordingErrorSink.h"

namespace tessaline {
namespace {

TEST(ReportError, BoxTextHasMessageAndUnformattedAction) {
    RecordingErrorSink sink;
    ReportError("Could not find the specified organ file %s.", "Loading Tessaline organ.",
                "x.organ");
    ReportError("Range 0-1000%%.", "Doing 100%s.");
    auto errors = sink.Errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].boxText,
              "Message: Could not find the specified organ file x.organ.\n\n"
              "Attempted action: Loading Tessaline organ.");
    EXPECT_EQ(errors[1].message, "Range 0-1000%.");
    EXPECT_EQ(errors[1].attemptedAction, "Doing 100%s.");
}

TEST(ReportError, LongTextsAreCutNeverOverrun) {
    RecordingErrorSink sink;
    std::string huge(5000, 'm');
    std::string action(5000, 'a');
    ReportError("%s", action.c_str(), huge.c_str());
    auto e = sink.Errors().at(0);
    EXPECT_EQ(e.message.size(), 2047u);
    EXPECT_EQ(e.boxText.size(), 2047u);
    EXPECT_EQ(e.boxText.substr(0, 9), "Message: ");
}

}  // namespace
}  // namespace tessaline
