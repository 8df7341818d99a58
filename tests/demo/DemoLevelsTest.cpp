// The demo organ's levels, heard through the offline renderer at the default
// overall volume: the two demo pieces play without a clipped frame in every
// general and with every stop and coupler drawn, and general 1 (the flutes
// that scripts/run-demo --render plays) stays comfortably loud.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "DemoGenerator.h"
#include "Inspection.h"
#include "support/TempDir.h"

namespace tessaline::demo {
namespace {

int RunQuietly(const std::string& command) { return std::system((command + " > /dev/null").c_str()); }

class DemoLevels : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new test::TempDir;
        ASSERT_EQ(RunQuietly(std::string("\"") + DEMO_GENERATOR + "\" \"" + dir->Path().string() + "\""), 0);
    }
    static void TearDownTestSuite() { delete dir; }

    // The largest magnitude of any value the piece renders to with the
    // registration's arguments; -1 when the render fails.
    static int RenderedPeak(const std::string& piece, const std::string& registration) {
        const std::string wav = dir->File("out.wav");
        const std::string command = std::string("\"") + RENDERER + "\" \"" + dir->File(DemoOrganFileName()) +
                                    "\" \"" + DEMO_RESOURCES + "/" + piece + "\" -o \"" + wav + "\" " + registration;
        test::WavInfo info;
        std::string why;
        if (RunQuietly(command) != 0 || !test::ReadWav(wav, info, why)) return -1;
        int peak = 0;
        for (int16_t v : info.samples) peak = std::max(peak, std::abs(static_cast<int>(v)));
        return peak;
    }

    static test::TempDir* dir;
};
test::TempDir* DemoLevels::dir = nullptr;

double Dbfs(int peak) { return 20.0 * std::log10(peak / 32768.0); }

TEST_F(DemoLevels, NoRegistrationClipsAPieceAndGeneralOneIsComfortablyLoud) {
    // General 6 draws every stop but the celeste and every coupler but the
    // unison off, which would only silence the Swell's own keys.
    const char* registrations[] = {"--general 1", "--general 2", "--general 3", "--general 4",
                                   "--general 5", "--general 6", "--general 6 --stops 2:3"};
    for (const char* piece : {"chorale.mid", "toccata.mid"})
        for (const char* registration : registrations) {
            const int peak = RenderedPeak(piece, registration);
            ASSERT_GT(peak, 0) << piece << " " << registration;
            EXPECT_LT(peak, 32767) << piece << " " << registration << " clips";
            if (std::string(registration) == "--general 1") {
                EXPECT_GT(Dbfs(peak), -6.5) << piece;
                EXPECT_LT(Dbfs(peak), -3.0) << piece;
            }
        }
}

}  // namespace
}  // namespace tessaline::demo
