#pragma once
// A main window on virtual devices: one MIDI port "Keyboard", the virtual
// audio devices with a hand-driven timer, settings and files in memory, and
// prompts answered by the test. Organs are written to a folder of its own.

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "platform/virtual/ManualTimer.h"
#include "platform/virtual/MemoryFileSystem.h"
#include "platform/virtual/MemorySettingsStore.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "platform/virtual/VirtualAudioOutput.h"
#include "platform/virtual/VirtualMidiPorts.h"
#include "support/OrganFileBuilder.h"
#include "support/OrganSections.h"
#include "support/TempDir.h"

namespace tessaline::test {

struct ShellRig {
    ShellRig() {
        ports.AddPort("Keyboard");
        prompts.notice = [this](QWidget*, const QString& text) {
            notices.push_back(text.toStdString());
        };
        prompts.warning = prompts.notice;
        prompts.systemSetup = [this](QWidget*, SetupInfo& setup) {
            ++setupRuns;
            if (setupChanges) setupChanges(setup);
            return setupAnswer;
        };
        // Every chooser notes the folder it starts in and answers `chosen`.
        auto choose = [this](QWidget*, const QString& initial) {
            chooserFolder = initial.toStdString();
            return QString::fromStdString(chosen);
        };
        prompts.chooseOrganFile = choose;
        prompts.chooseRecordingDirectory = choose;
        prompts.chooseCombinationFile = choose;
        prompts.chooseCombinationSaveFile = [choose](QWidget* owner, const QString& initial,
                                                     const QString&) {
            return choose(owner, initial);
        };
        prompts.openFile = [this](const QString& path) {
            opened.push_back(path.toStdString());
            return openSucceeds;
        };
        prompts.openWebsite = prompts.openFile;
        prompts.runDialog = [this](QDialog& dialog) {
            if (onDialog) onDialog(dialog);
            return 0;
        };
        prompts.splashMilliseconds = 0;
    }

    // Builds the window and runs its creation sequence.
    bool Start() {
        window =
            std::make_unique<MainWindow>(ShellDevices{ports, audio, timers, store, files}, prompts);
        return window->Create();
    }
    // Starts with a complete settings store, so that no setup is asked for.
    void StartSetUp() {
        bool answer = setupAnswer;
        setupAnswer = true;
        ASSERT_TRUE(Start());
        setupAnswer = answer;
        setupRuns = 0;
        notices.clear();
    }

    // An organ of one manual with two stops of 61 pipes each; returns the
    // path of its file.
    std::string WriteOrgan(const std::string& name, const std::string& church = "St Test") {
        OrganFileBuilder organ = OrganFileBuilder::MinimalOrgan();
        organ.Set("Organ", "ChurchName", church);
        SetManual(organ, 1, 61, {1, 2});
        for (int n = 1; n <= 2; ++n)
            SetStop(organ, n, WritePipeWavs(dir, "pipes" + std::to_string(n), 61));
        return dir.Write(name, organ.Text());
    }

    // Every report as "message | action".
    std::vector<std::string> Reports() const {
        std::vector<std::string> texts;
        for (const auto& e : errors.Errors())
            texts.push_back(e.message + " | " + e.attemptedAction);
        return texts;
    }

    TempDir dir;
    RecordingErrorSink errors;
    VirtualMidiPorts ports;
    VirtualAudioSystem audio;
    ManualTimerService timers;
    MemorySettingsStore store;
    MemoryFileSystem files;
    ShellPrompts prompts;
    std::vector<std::string> notices;
    bool setupAnswer = true;
    int setupRuns = 0;
    std::function<void(SetupInfo&)> setupChanges;
    std::string chosen;  // the answer of every chooser
    std::string chooserFolder;
    // What the player does with a modal dialog while it shows.
    std::function<void(QDialog&)> onDialog;
    std::vector<std::string> opened;  // documents and web addresses, in order
    bool openSucceeds = true;
    std::unique_ptr<MainWindow> window;
};

}  // namespace tessaline::test
