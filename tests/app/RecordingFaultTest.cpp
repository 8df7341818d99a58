// A disk that fills up while the organ plays and records: the sound goes on,
// the player hears of it once, and the file ends with what fitted.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "ShellRig.h"
#include "recorder/RecorderTestSupport.h"

namespace tessaline {
namespace {

using Command = MainWindow::Command;

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
    return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
           uint32_t{bytes[at + 3]} << 24;
}

TEST(RecordingFaults, AFullDiskStopsNeitherTheSoundNorTheRecording) {
    test::ShellRig rig;
    rig.StartSetUp();
    MainWindow& window = *rig.window;
    ASSERT_TRUE(window.LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    rig.store.values["OutputRecDir"] = "/rec";
    window.Run(Command::PlayTestNote);
    window.Run(Command::StartRecording);
    ASSERT_TRUE(window.GetRecorder().IsRecording());
    const Recorder& recorder = window.GetRecorder();
    // The header, two ticks of 1024 frames and part of a third.
    rig.files.SetRoom(48 + 2 * 4096 + 100);

    auto tick = [&] { return rig.audio.Advance(1024) && rig.timers.Fire(); };
    for (int t = 0; t < 6; ++t) ASSERT_TRUE(tick());
    test::WaitForWriter(recorder, 6);
    EXPECT_EQ(rig.Reports(), (std::vector<std::string>{
                                 "Could not write to the audio output file.\nPlease check that the disk "
                                 "is not full. | Recording audio output."}));
    EXPECT_TRUE(window.IsActive());
    EXPECT_TRUE(recorder.IsRecording());
    EXPECT_EQ(rig.audio.PlayedFrames(), 6u * 1024);
    EXPECT_EQ(recorder.WrittenBlocks(), 2u);

    // Room again: the next ticks are recorded after the last whole one.
    rig.files.SetRoom(std::numeric_limits<uint64_t>::max());
    for (int t = 0; t < 2; ++t) ASSERT_TRUE(tick());
    test::WaitForWriter(recorder, 8);
    window.Run(Command::StopRecording);
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_EQ(rig.errors.Count(), 1u);
    std::vector<uint8_t> bytes = rig.files.Bytes(recorder.FilePath());
    ASSERT_EQ(bytes.size(), 48u + 4 * 4096);
    EXPECT_EQ(Le32(bytes, 4), 40u + 4 * 4096);
    EXPECT_EQ(Le32(bytes, 44), 4u * 4096);
}

}  // namespace
}  // namespace tessaline
