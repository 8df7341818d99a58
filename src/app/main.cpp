// Tessaline: the application. Builds the main window on the real devices and
// settings, runs its creation sequence and, when the command line names an
// organ file, loads and activates it.

#include <QApplication>
#include <cstdio>
#include <memory>

#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "platform/BinaryFile.h"
#include "platform/ErrorReporting.h"
#include "platform/ThreadTimer.h"
#include "platform/qt/QtErrorSink.h"
#include "platform/qt/QtSettingsStore.h"
#include "platform/rtaudio/RtAudioOutput.h"
#include "platform/rtmidi/RtMidiPorts.h"

int main(int argc, char** argv) {
    using namespace tessaline;
    std::vector<std::string> arguments(argv + 1, argv + argc);
    CommandLine line = ParseCommandLine(arguments);
    switch (line.action) {
        case CommandLine::Action::Help:
            std::fputs(kUsage, stdout);
            return 0;
        case CommandLine::Action::Version:
            std::printf("Tessaline %s\n", TESSALINE_VERSION);
            return 0;
        case CommandLine::Action::Wrong:
            std::fprintf(stderr, "tessaline: %s\n%s", line.problem.c_str(), kUsage);
            return 2;
        case CommandLine::Action::Run:
            break;
    }

    QApplication application(argc, argv);
    QApplication::setOrganizationName("Tessaline");
    QApplication::setApplicationName("Tessaline");
    QtErrorSink errorSink;

    std::unique_ptr<MidiPorts> midiPorts = CreateSystemMidiPorts();
    RtAudioOutputSystem audioSystem;
    ThreadTimerService timers;
    QtSettingsStore settings;
    PosixFileSystem files;
    ShellDevices devices{*midiPorts, audioSystem, timers, settings, files};

    MainWindow window(devices, DialogPrompts(), &errorSink);
    if (!window.Create()) {
        ReportError("Could not execute Tessaline.", "Starting Tessaline.");
        return 1;
    }
    window.show();
    if (!line.organPath.empty()) window.LoadOrganFromPath(line.organPath);
    return application.exec();
}
