#include "midi/MidiRouting.h"

#include <algorithm>

#include "audio/Enclosure.h"
#include "midi/MidiInputSystem.h"
#include "midi/OrganActions.h"
#include "organ/Manual.h"
#include "organ/Organ.h"
#include "organ/SetupInfo.h"
#include "platform/ErrorReporting.h"

namespace tessaline {

namespace {

constexpr const char* kNoOrgan = "No organ is loaded.";
constexpr const char* kInvalidInput = "Attempt to update an invalid MIDI input (%d).";
constexpr const char* kUpdating = "Updating organ MIDI parameters.";
constexpr const char* kStartingEngine = "Starting organ MIDI engine.";
constexpr const char* kStoppingEngine = "Stopping organ MIDI engine.";
constexpr const char* kRollingBack = "Activating Tessaline.";

constexpr uint32_t kNoteOff = 0x80;
constexpr uint32_t kNoteOn = 0x90;
constexpr uint32_t kControlChange = 0xB0;
constexpr uint32_t kProgramChange = 0xC0;
constexpr uint32_t kSystemReset = 0xFF;
// Controllers 123-127 are the channel mode messages (all notes off and its
// kin); each silences the manuals on that channel.
constexpr uint32_t kFirstChannelModeController = 123;

// Holds the organ's action lock for one entry into the action.
class ActionScope {
public:
    explicit ActionScope(OrganActions& organActions) : actions(organActions) {
        actions.BeginAction();
    }
    ~ActionScope() { actions.EndAction(); }
    ActionScope(const ActionScope&) = delete;
    ActionScope& operator=(const ActionScope&) = delete;

private:
    OrganActions& actions;
};

}  // namespace

// %d is the consumer's number.
struct MidiConsumerTexts {
    const char* openUnset;
    const char* openFailed;
    const char* openAction;
    const char* closeUnset;
    const char* closeFailed;
    const char* closeAction;
    const char* engineOpenFailed;   // "could not be opened", in the organ's name
    const char* engineCloseFailed;  // "could not close", in the organ's name
};

namespace {

constexpr MidiConsumerTexts kManualTexts{
    "Cannot open MIDI input device for manual %d because MIDI parameters have not been loaded.",
    "Cannot open MIDI input device for manual %d.",
    "Activating an organ manual.",
    "Cannot stop MIDI input device for manual %d because MIDI parameters have not been loaded.",
    "Cannot close MIDI input device for manual %d.",
    "Deactivating an organ manual.",
    "The MIDI input device for manual number %d could not be opened (0=Pedal, 1=Great, ...).",
    "Could not close the MIDI device for manual number %d (0=Pedal, 1=Great, ...).",
};
constexpr MidiConsumerTexts kRedirectableTexts{
    "Cannot open MIDI input device for a redirectable manual MIDI input because system "
    "parameters have not been loaded.",
    "Cannot open MIDI input device for a redirectable manual.",
    "Activating an organ redirectable manual.",
    "Cannot stop MIDI input device for a redirectable manual MIDI input because system "
    "parameters have not been loaded.",
    "Cannot close MIDI input device for a redirectable manual.",
    "Deactivating an organ redirectable manual.",
    "The MIDI input device for redirectable manual MIDI input %d could not be opened.",
    "Could not close the MIDI device for redirectable manual MIDI input %d.",
};
constexpr MidiConsumerTexts kFrameTexts{
    "Cannot open a MIDI input device for the registration frame control system because MIDI "
    "parameters have not been loaded.",
    "Cannot open a MIDI input device for the registration frame control system.",
    "Activating organ registration frame control system.",
    "Cannot stop a MIDI input device for the registration frame control system because MIDI "
    "parameters have not been loaded.",
    "Cannot close a MIDI input device for the registration frame control system.",
    "Deactivating organ registration frame control system.",
    "The MIDI input device for registration frame control %d could not be opened.",
    "Could not close the MIDI device for registration frame control %d.",
};
constexpr MidiConsumerTexts kEnclosureTexts{
    "Cannot open MIDI input device for enclosure %d because MIDI parameters have not been loaded.",
    "Cannot open MIDI input device for enclosure %d.",
    "Activating an organ enclosure.",
    "Cannot stop MIDI input device for enclosure %d because MIDI parameters have not been loaded.",
    "Cannot close MIDI input device for enclosure %d.",
    "Deactivating an organ enclosure.",
    "The MIDI input device for enclosure %d could not be opened.",
    "Could not close the MIDI device for enclosure %d.",
};
constexpr MidiConsumerTexts kStopControlTexts{
    "Cannot open MIDI input device for the drawstop control system because MIDI parameters have "
    "not been loaded.",
    "Cannot open MIDI input device for the drawstop control system.",
    "Activating organ drawstop control system.",
    "Cannot stop MIDI input device for the drawstop control system because MIDI parameters have "
    "not been loaded.",
    "Cannot close MIDI input device for the drawstop control system.",
    "Deactivating organ drawstop control system.",
    "The MIDI input device for the stop control system could not be opened.",
    "Could not close the MIDI device for the stop control system.",
};

// A consumer matches a message from its port on its channel.
bool Matches(const Manual* manual, unsigned device, uint32_t channel) {
    return manual && manual->midiParametersLoaded && manual->midiDevice == device &&
           manual->midiChannel == channel;
}
template <typename Input>
bool Matches(const Input& input, unsigned device, uint32_t channel) {
    return input.parametersLoaded && input.midiDevice == device && input.midiChannel == channel;
}

// The setters' common refusal.
bool OrganLoaded(const Organ& organ, const char* action) {
    if (organ.loaded) return true;
    ReportError(kNoOrgan, action);
    return false;
}

}  // namespace

MidiRouting::MidiRouting(Organ& owner) : organ(owner), bridge(owner) {
    for (int i = 0; i < kRedirectableInputs; ++i) {
        redirectable[static_cast<size_t>(i)].Attach(owner, i);
        redirectable[static_cast<size_t>(i)].SetActions(actions);
    }
}

void MidiRouting::SetActions(OrganActions& organActions) {
    actions = &organActions;
    for (RedirectableInput& input : redirectable) input.SetActions(actions);
}

void MidiRouting::ClearAssignments() {
    for (Manual& manual : organ.manuals) manual.midiParametersLoaded = false;
    for (RedirectableInput& input : redirectable) input.ForgetTarget();
    stopControl = StopControlInput{};
    for (FrameControlInput& input : frameControl) input = FrameControlInput{};
}

bool MidiRouting::SetManualInput(uint32_t input, uint32_t device, uint32_t channel,
                                 int32_t keyShift) {
    if (!OrganLoaded(organ, kUpdating)) return false;
    if (input >= static_cast<uint32_t>(kManualMidiInputs)) {
        ReportError(kInvalidInput, "Updating organ manual MIDI parameters.",
                    static_cast<int>(input));
        return false;
    }
    for (uint32_t m = 0; m <= organ.numberOfManuals; ++m) {
        Manual* manual = organ.ManualAt(static_cast<int>(m));
        if (!manual || static_cast<uint32_t>(manual->midiInput) != input) continue;
        manual->midiDevice = device;
        manual->midiChannel = channel;
        manual->keyShift = keyShift;
        manual->midiParametersLoaded = true;
    }
    return true;
}

bool MidiRouting::SetEnclosureInput(uint32_t input, uint32_t device, uint32_t channel,
                                    uint32_t controller) {
    if (!OrganLoaded(organ, kUpdating)) return false;
    if (input >= static_cast<uint32_t>(kMaxEnclosures)) {
        ReportError(kInvalidInput, "Updating organ enclosure MIDI parameters.",
                    static_cast<int>(input + 1));
        return false;
    }
    for (Enclosure& enclosure : actions->Enclosures())
        if (enclosure.loaded && enclosure.midiInput == input)
            enclosure.SetMidiParameters(device, channel, controller);
    return true;
}

bool MidiRouting::SetRedirectInput(uint32_t i, uint32_t device, uint32_t channel, int32_t keyShift,
                                   uint32_t send1, uint32_t send2, uint32_t send3, uint32_t send4) {
    if (!OrganLoaded(organ, kUpdating)) return false;
    if (i >= static_cast<uint32_t>(kRedirectableInputs)) {
        ReportError(kInvalidInput, "Updating organ redirectable manual MIDI parameters.",
                    static_cast<int>(i + 1));
        return false;
    }
    RedirectableInput& input = redirectable[i];
    input.midiDevice = device;
    input.midiChannel = channel;
    input.keyShift = keyShift;
    input.sends = {send1, send2, send3, send4};
    input.parametersLoaded = true;
    return true;
}

bool MidiRouting::SetStopControlInput(uint32_t device, uint32_t channel) {
    if (!OrganLoaded(organ, kUpdating)) return false;
    stopControl.midiDevice = device;
    stopControl.midiChannel = channel;
    stopControl.parametersLoaded = true;
    return true;
}

bool MidiRouting::SetFrameControlInput(uint32_t i, uint32_t device, uint32_t channel,
                                       uint32_t previousProgram, uint32_t nextProgram) {
    constexpr const char* kAction = "Updating organ registration control MIDI parameters.";
    if (!OrganLoaded(organ, kAction)) return false;
    if (i >= static_cast<uint32_t>(kFrameControlInputs)) {
        ReportError("Attempt to update an invalid registration control MIDI input (%d).", kAction,
                    static_cast<int>(i + 1));
        return false;
    }
    frameControl[i] = {device, channel, previousProgram, nextProgram, true};
    return true;
}

bool MidiRouting::ApplySetup(const SetupInfo& setup) {
    if (!SetStopControlInput(setup.ControlMIDIInDevNumber, setup.ControlChan - 1)) return false;
    for (uint32_t i = 0; i < static_cast<uint32_t>(SetupInfo::kManualPaths); ++i)
        if (!SetManualInput(i, setup.ManualMIDIInDevNumber[i], setup.ManualChan[i] - 1,
                            setup.ManualKeyShift[i]))
            return false;
    const auto& a = setup.ManualASend;
    const auto& b = setup.ManualBSend;
    if (!SetRedirectInput(0, setup.ManualAMIDIInDevNumber, setup.ManualAChan - 1,
                          setup.ManualAKeyShift, a[0], a[1], a[2], a[3]) ||
        !SetRedirectInput(1, setup.ManualBMIDIInDevNumber, setup.ManualBChan - 1,
                          setup.ManualBKeyShift, b[0], b[1], b[2], b[3]))
        return false;
    for (uint32_t i = 0; i < static_cast<uint32_t>(SetupInfo::kCombFrames); ++i)
        if (!SetFrameControlInput(i, setup.CombFrameMIDIInDevNumber[i], setup.CombFrameChan[i] - 1,
                                  setup.CombFramePrevPC[i] - 1, setup.CombFrameNextPC[i] - 1))
            return false;
    for (uint32_t i = 0; i < static_cast<uint32_t>(SetupInfo::kEnclosurePaths); ++i)
        if (!SetEnclosureInput(i, setup.EnclosureMIDIInDevNumber[i], setup.EnclosureChan[i] - 1,
                               setup.EnclosureController[i]))
            return false;
    return true;
}

int MidiRouting::ListConsumers(std::array<ConsumerRef, kMaxMidiConsumers>& list) {
    int count = 0;
    for (uint32_t m = 0; m <= organ.numberOfManuals; ++m)
        if (organ.ManualAt(static_cast<int>(m)))
            list[static_cast<size_t>(count++)] = {Consumer::Manual, static_cast<int>(m)};
    for (int i = 0; i < kRedirectableInputs; ++i)
        list[static_cast<size_t>(count++)] = {Consumer::Redirectable, i};
    for (int i = 0; i < kFrameControlInputs; ++i)
        list[static_cast<size_t>(count++)] = {Consumer::Frame, i};
    int enclosures =
        static_cast<int>(std::min<size_t>(actions->Enclosures().size(), kMaxEnclosures));
    for (int e = 0; e < enclosures; ++e)
        list[static_cast<size_t>(count++)] = {Consumer::Enclosure, e};
    list[static_cast<size_t>(count++)] = {Consumer::StopControl, 0};
    return count;
}

MidiRouting::ConsumerPort MidiRouting::Describe(const ConsumerRef& consumer) {
    auto index = static_cast<size_t>(consumer.index);
    switch (consumer.kind) {
        case Consumer::Manual: {
            const Manual* manual = organ.ManualAt(consumer.index);
            return {&kManualTexts, consumer.index, manual != nullptr,
                    manual && manual->midiParametersLoaded, manual ? manual->midiDevice : 0};
        }
        case Consumer::Redirectable: {
            const RedirectableInput& input = redirectable[index];
            return {&kRedirectableTexts, consumer.index + 1, true, input.parametersLoaded,
                    input.midiDevice};
        }
        case Consumer::Frame: {
            const FrameControlInput& input = frameControl[index];
            return {&kFrameTexts, consumer.index + 1, true, input.parametersLoaded,
                    input.midiDevice};
        }
        case Consumer::Enclosure: {
            const Enclosure& enclosure = actions->Enclosures()[index];
            return {&kEnclosureTexts, consumer.index + 1, enclosure.loaded,
                    enclosure.midiParametersSet, enclosure.midiDevice};
        }
        case Consumer::StopControl:
            break;
    }
    return {&kStopControlTexts, 0, true, stopControl.parametersLoaded, stopControl.midiDevice};
}

bool MidiRouting::OpenConsumer(const ConsumerRef& consumer) {
    ConsumerPort port = Describe(consumer);
    if (!port.exists) return false;
    const MidiConsumerTexts& texts = *port.texts;
    if (!port.parametersSet) {
        ReportError(texts.openUnset, texts.openAction, port.number);
        return false;
    }
    if (!inputSystem || !inputSystem->Open(port.device)) {
        ReportError(texts.openFailed, texts.openAction, port.number);
        return false;
    }
    return true;
}

bool MidiRouting::CloseConsumer(const ConsumerRef& consumer) {
    ConsumerPort port = Describe(consumer);
    if (!port.exists) return false;
    const MidiConsumerTexts& texts = *port.texts;
    if (!port.parametersSet) {
        ReportError(texts.closeUnset, texts.closeAction, port.number);
        return false;
    }
    if (!inputSystem || !inputSystem->Close(port.device)) {
        ReportError(texts.closeFailed, texts.closeAction, port.number);
        return false;
    }
    return true;
}

bool MidiRouting::OpenMidiInputs() {
    if (!organ.loaded) {
        ReportError(kNoOrgan, kStartingEngine);
        return false;
    }
    std::array<ConsumerRef, kMaxMidiConsumers> consumers;
    int count = ListConsumers(consumers);
    for (int i = 0; i < count; ++i) {
        const ConsumerRef& consumer = consumers[static_cast<size_t>(i)];
        if (OpenConsumer(consumer)) continue;
        ConsumerPort failed = Describe(consumer);
        ReportError(failed.texts->engineOpenFailed, kStartingEngine, failed.number);
        // Whatever opened before the failure is closed again; a close that
        // fails is reported and the others still close.
        for (int j = 0; j < i; ++j) {
            const ConsumerRef& opened = consumers[static_cast<size_t>(j)];
            if (!CloseConsumer(opened)) {
                ConsumerPort port = Describe(opened);
                ReportError(port.texts->engineCloseFailed, kRollingBack, port.number);
            }
        }
        return false;
    }
    listening.store(true, std::memory_order_release);
    return true;
}

bool MidiRouting::CloseMidiInputs() {
    if (!organ.loaded) {
        ReportError(kNoOrgan, kStoppingEngine);
        return false;
    }
    // Mute the dispatcher before any port closes, and wait for a message
    // being acted on to finish: a close that fails leaves its port open, and
    // its messages must not reach an organ that is about to be unloaded.
    {
        ActionScope scope(*actions);
        listening.store(false, std::memory_order_release);
    }
    std::array<ConsumerRef, kMaxMidiConsumers> consumers;
    int count = ListConsumers(consumers);
    for (int i = 0; i < count; ++i) {
        const ConsumerRef& consumer = consumers[static_cast<size_t>(i)];
        if (CloseConsumer(consumer)) continue;
        ConsumerPort port = Describe(consumer);
        ReportError(port.texts->engineCloseFailed, kStoppingEngine, port.number);
        return false;
    }
    return true;
}

void MidiRouting::OnMidiMessage(unsigned device, uint32_t message) {
    ActionScope scope(*actions);
    if (!Listening() || !organ.loaded) return;
    uint32_t status = message & 0xFF;
    uint32_t kind = status & 0xF0;
    uint32_t channel = status & 0x0F;
    uint32_t data1 = (message >> 8) & 0x7F;
    uint32_t data2 = (message >> 16) & 0x7F;
    if (status == kSystemReset) {
        actions->ResetOrgan();
        return;
    }
    switch (kind) {
        case kNoteOn:
        case kNoteOff:
            Notes(device, channel, data1, kind == kNoteOn && data2 != 0);
            break;
        case kProgramChange:
            ProgramChange(device, channel, data1);
            break;
        case kControlChange:
            ControlChange(device, channel, data1, data2);
            break;
        default:
            break;
    }
}

void MidiRouting::Notes(unsigned device, uint32_t channel, uint32_t note, bool press) {
    auto play = [&](int manual, int32_t shift, uint32_t source) {
        int shifted = static_cast<int>(note) + shift;
        if (press)
            actions->KeyDown(manual, shifted, source);
        else
            actions->KeyUp(manual, shifted, source);
    };
    for (uint32_t m = 0; m <= organ.numberOfManuals; ++m) {
        const Manual* manual = organ.ManualAt(static_cast<int>(m));
        if (Matches(manual, device, channel)) play(manual->index, manual->keyShift, m);
    }
    for (const RedirectableInput& input : redirectable)
        if (input.target && Matches(input, device, channel))
            play(input.target->index, input.keyShift, input.sourceId);
    if (Matches(stopControl, device, channel)) actions->StopControl(static_cast<int>(note), press);
}

void MidiRouting::ProgramChange(unsigned device, uint32_t channel, uint32_t program) {
    if (!combinations) return;
    CombinationPresses& presses = *combinations;
    const auto wanted = static_cast<int32_t>(program);
    auto pressDivisionals = [&](int manual) {
        int count = presses.DivisionalCount(manual);
        for (int d = 0; d < count; ++d)
            if (presses.DivisionalProgram(manual, d) == wanted) presses.PressDivisional(manual, d);
    };
    bool matched = false;
    for (uint32_t m = 0; m <= organ.numberOfManuals; ++m) {
        const Manual* manual = organ.ManualAt(static_cast<int>(m));
        if (!Matches(manual, device, channel)) continue;
        matched = true;
        pressDivisionals(manual->index);
    }
    for (const RedirectableInput& input : redirectable) {
        if (!Matches(input, device, channel)) continue;
        matched = true;
        if (input.target) pressDivisionals(input.target->index);
    }
    // One frame step at most, from the first matching input whose programs
    // name this one.
    for (const FrameControlInput& input : frameControl) {
        if (!Matches(input, device, channel)) continue;
        if (program == input.previousProgram) {
            presses.PreviousFrame();
            break;
        }
        if (program == input.nextProgram) {
            presses.NextFrame();
            break;
        }
    }
    // Generals and reversible pistons answer a keyboard's channel only,
    // never a frame input's alone.
    if (!matched) return;
    for (int g = 0; g < presses.GeneralCount(); ++g)
        if (presses.GeneralProgram(g) == wanted) presses.PressGeneral(g);
    for (int r = 0; r < presses.ReversiblePistonCount(); ++r)
        if (presses.ReversiblePistonProgram(r) == wanted) presses.PressReversiblePiston(r);
}

void MidiRouting::ControlChange(unsigned device, uint32_t channel, uint32_t controller,
                                uint32_t value) {
    if (controller >= kFirstChannelModeController) {
        for (uint32_t m = 0; m <= organ.numberOfManuals; ++m) {
            const Manual* manual = organ.ManualAt(static_cast<int>(m));
            if (Matches(manual, device, channel)) actions->ResetNotes(manual->index);
        }
        for (const RedirectableInput& input : redirectable)
            if (input.target && Matches(input, device, channel))
                actions->ResetNotes(input.target->index);
    }
    for (Enclosure& enclosure : actions->Enclosures())
        if (enclosure.loaded && enclosure.Matches(device, channel, controller) &&
            enclosure.SetValue(value))
            organ.View().RequestEnclosureBarRedraw(enclosure.index);
}

bool MidiRouting::SelectSend(int i, uint32_t s) {
    if (i < 0 || i >= kRedirectableInputs) return false;
    RedirectableInput& input = redirectable[static_cast<size_t>(i)];
    ActionScope scope(*actions);
    return input.SelectSend(s);
}

void MidiRouting::ResetRedirectableInputs() {
    for (RedirectableInput& input : redirectable) input.Reset();
}

}  // namespace tessaline
