#include "OrganFileWriter.h"

#include <cstdio>

#include "organ/DefinitionReader.h"

namespace tessaline::demo {

namespace {

// The file format version this organ is written for.
constexpr const char* kFormatVersion = "1.21";

class DefinitionText {
public:
    void Section(const std::string& name) {
        if (!text.empty()) text += "\r\n";
        text += "[" + name + "]\r\n";
    }
    void Key(const std::string& name, const std::string& value) { text += name + "=" + value + "\r\n"; }
    void Key(const std::string& name, int value) { Key(name, std::to_string(value)); }
    void Flag(const std::string& name, bool value) { Key(name, value ? "Y" : "N"); }
    void Comment(const std::string& line) { text += "; " + line + "\r\n"; }
    std::string text;
};

std::string Signed(int position, bool engaged) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%c%03d", engaged ? '+' : '-', position);
    return buffer;
}

bool Contains(const std::vector<int>& list, int value) {
    for (int v : list)
        if (v == value) return true;
    return false;
}

void WriteControl(DefinitionText& out, const std::string& name, const DrawstopPlace& place) {
    out.Key("Name", name);
    if (place.shortcutKey != 0) out.Key("ShortcutKey", place.shortcutKey);
    out.Flag("Displayed", true);
    out.Flag("DispKeyLabelOnLeft", false);
    out.Key("DispLabelColour", place.colour);
    out.Key("DispLabelFontSize", place.fontSize);
}

void WriteDrawstop(DefinitionText& out, const std::string& name, const DrawstopPlace& place) {
    out.Key("DispDrawstopRow", place.row);
    out.Key("DispDrawstopCol", place.col);
    out.Flag("DefaultToEngaged", false);
    out.Flag("DisplayInInvertedState", false);
    out.Key("DispImageNum", 1);
    WriteControl(out, name, place);
}

void WriteButton(DefinitionText& out, const std::string& name, const ButtonPlace& place) {
    out.Key("DispButtonCol", place.col);
    out.Key("DispButtonRow", place.row);
    out.Key("MIDIProgramChangeNumber", place.programChange);
    out.Key("DispImageNum", 1);
    WriteControl(out, name, DrawstopPlace{0, 0, place.shortcutKey, "BLACK", "Normal"});
}

void WriteOrganSection(DefinitionText& out, const DemoOrgan& o, bool stereo) {
    const DisplaySettings& d = o.display;
    out.Section("Organ");
    out.Key("TessalineOrganFileFormatVersion", kFormatVersion);
    out.Key("ChurchName", o.churchName);
    out.Key("ChurchAddress", o.churchAddress);
    out.Key("OrganBuilder", o.organBuilder);
    out.Key("OrganBuildDate", o.organBuildDate);
    out.Key("OrganComments", o.organComments);
    out.Key("RecordingDetails", o.recordingDetails);
    out.Key("NumberOfManuals", 2);
    out.Key("NumberOfEnclosures", 1);
    out.Key("NumberOfTremulants", 1);
    out.Key("NumberOfWindchestGroups", 3);
    out.Flag("HasPedals", true);
    out.Key("HighestSampleFormat", stereo ? "Stereo" : "Mono");
    out.Key("NumberOfGenerals", static_cast<int>(o.generals.size()));
    out.Key("NumberOfReversiblePistons", 1);
    out.Key("NumberOfDivisionalCouplers", 1);
    out.Key("NumberOfLabels", static_cast<int>(o.labels.size()));
    out.Flag("DivisionalsStoreTremulants", true);
    out.Flag("DivisionalsStoreIntermanualCouplers", true);
    out.Flag("DivisionalsStoreIntramanualCouplers", true);
    out.Flag("GeneralsStoreDivisionalCouplers", true);
    out.Flag("CombinationsStoreNonDisplayedDrawstops", false);
    // Read when the file is reloaded as a combination file (default combinations).
    out.Key("NumberOfFrameGenerals", 512);
    out.Flag("DispExtraDrawstopRowsAboveExtraButtonRows", d.extraDrawstopRowsAboveExtraButtonRows);
    out.Flag("DispTrimAboveExtraRows", d.trimAboveExtraRows);
    out.Flag("DispTrimAboveManuals", d.trimAboveManuals);
    out.Flag("DispTrimBelowManuals", d.trimBelowManuals);
    out.Flag("DispButtonsAboveManuals", d.buttonsAboveManuals);
    out.Flag("DispExtraPedalButtonRow", d.extraPedalButtonRow);
    if (d.extraPedalButtonRow) {
        out.Flag("DispExtraPedalButtonRowOffset", d.extraPedalButtonRowOffset);
        out.Flag("DispExtraPedalButtonRowOffsetRight", d.extraPedalButtonRowOffsetRight);
    }
    out.Key("AmplitudeLevel", 100);
    out.Key("DispDrawstopCols", static_cast<int>(d.drawstopCols));
    out.Key("DispButtonCols", static_cast<int>(d.buttonCols));
    out.Key("DispDrawstopRows", static_cast<int>(d.drawstopRows));
    out.Flag("DispDrawstopColsOffset", d.drawstopColsOffset);
    if (d.drawstopColsOffset) out.Flag("DispDrawstopOuterColOffsetUp", d.drawstopOuterColOffsetUp);
    out.Flag("DispPairDrawstopCols", d.pairDrawstopCols);
    out.Key("DispExtraButtonRows", static_cast<int>(d.extraButtonRows));
    out.Key("DispExtraDrawstopRows", static_cast<int>(d.extraDrawstopRows));
    out.Key("DispExtraDrawstopCols", static_cast<int>(d.extraDrawstopCols));
    out.Key("DispControlLabelFont", "DejaVu Sans");
    out.Key("DispShortcutKeyLabelFont", "DejaVu Sans");
    out.Key("DispGroupLabelFont", "DejaVu Serif");
    out.Key("DispShortcutKeyLabelColour", "YELLOW");
    out.Key("DispDrawstopBackgroundImageNum", 3);
    out.Key("DispDrawstopInsetBackgroundImageNum", 4);
    out.Key("DispKeyHorizBackgroundImageNum", 7);
    out.Key("DispKeyVertBackgroundImageNum", 8);
    out.Key("DispConsoleBackgroundImageNum", 3);
    out.Key("DispScreenSizeHoriz", d.screenSizeHoriz);
    out.Key("DispScreenSizeVert", d.screenSizeVert);
}

void WriteSoundSections(DefinitionText& out) {
    const char* groups[3] = {"Great", "Swell", "Pedal"};
    for (int g = 0; g < 3; ++g) {
        out.Section(NumberedName("WindchestGroup", g + 1));
        bool swell = g == 1;
        out.Key("NumberOfEnclosures", swell ? 1 : 0);
        out.Key("NumberOfTremulants", swell ? 1 : 0);
        out.Key("Comments", std::string(groups[g]) + " windchest");
        if (swell) {
            out.Key("Enclosure001", 1);
            out.Key("Tremulant001", 1);
        }
    }
    out.Section("Enclosure001");
    out.Key("Name", "Swell");
    out.Key("MIDIInputNumber", 1);
    out.Key("AmpMinimumLevel", 20);
}

// Windchest group of each division: Great 1, Swell 2, Pedal 3.
int GroupOf(int manual) { return manual == kPedal ? 3 : manual; }

void WriteManual(DefinitionText& out, const DemoOrgan& o, const ManualSpec& m) {
    out.Section(NumberedName("Manual", m.number));
    out.Key("Name", m.name);
    out.Key("NumberOfLogicalKeys", m.keys);
    out.Key("NumberOfAccessibleKeys", m.keys);
    out.Key("FirstAccessibleKeyLogicalKeyNumber", 1);
    out.Key("FirstAccessibleKeyMIDINoteNumber", kLowestKeyNote);
    out.Key("MIDIInputNumber", m.midiInput);
    out.Flag("Displayed", true);
    out.Flag("DispKeyColourInverted", false);
    out.Key("NumberOfStops", static_cast<int>(m.stops.size()));
    out.Key("NumberOfCouplers", static_cast<int>(m.couplers.size()));
    out.Key("NumberOfDivisionals", 3);
    out.Key("NumberOfTremulants", static_cast<int>(m.tremulants.size()));
    for (size_t t = 0; t < m.tremulants.size(); ++t)
        out.Key(NumberedName("Tremulant", static_cast<int>(t) + 1), m.tremulants[t] + 1);
    for (size_t s = 0; s < m.stops.size(); ++s)
        out.Key(NumberedName("Stop", static_cast<int>(s) + 1), m.stops[s] + 1);
    for (size_t c = 0; c < m.couplers.size(); ++c)
        out.Key(NumberedName("Coupler", static_cast<int>(c) + 1), m.couplers[c] + 1);
    int position = 1;
    for (size_t d = 0; d < o.divisionals.size(); ++d)
        if (o.divisionals[d].manual == m.number)
            out.Key(NumberedName("Divisional", position++), static_cast<int>(d) + 1);
}

void WriteStop(DefinitionText& out, const DemoOrgan& o, int index) {
    const StopSpec& s = o.stops[static_cast<size_t>(index)];
    out.Section(NumberedName("Stop", index + 1));
    WriteDrawstop(out, s.name, s.place);
    out.Key("AmplitudeLevel", 100);
    out.Key("NumberOfLogicalPipes", s.pipes);
    out.Key("NumberOfAccessiblePipes", s.pipes);
    out.Key("FirstAccessiblePipeLogicalPipeNumber", 1);
    out.Key("FirstAccessiblePipeLogicalKeyNumber", s.firstKey);
    out.Key("WindchestGroup", GroupOf(s.manual));
    out.Flag("Percussive", false);
    for (int p = 0; p < s.pipes; ++p) {
        std::string value;
        if (s.sharedStop >= 0) {
            // The borrowed pipe sounding the same note as this stop's key.
            const StopSpec& owner = o.stops[static_cast<size_t>(s.sharedStop)];
            int ownerPipe = KeyNoteOfPipe(s, p) - KeyNoteOfPipe(owner, 0) + 1;
            char ref[32];
            std::snprintf(ref, sizeof ref, "REF:%02d:%03d:%03d", owner.manual, o.StopPosition(s.sharedStop),
                          ownerPipe);
            value = ref;
        } else {
            value = PipeSamplePath(o, s, p);
        }
        out.Key(NumberedName("Pipe", p + 1), value);
    }
}

void WriteCoupler(DefinitionText& out, const DemoOrgan& o, int index) {
    const CouplerSpec& c = o.couplers[static_cast<size_t>(index)];
    out.Section(NumberedName("Coupler", index + 1));
    WriteDrawstop(out, c.name, c.place);
    out.Flag("UnisonOff", c.unisonOff);
    if (c.unisonOff) return;
    out.Key("DestinationManual", c.destination);
    out.Key("DestinationKeyshift", c.keyshift);
    static const char* kinds[5] = {"UnisonIntermanual", "UpwardIntermanual", "DownwardIntermanual",
                                   "UpwardIntramanual", "DownwardIntramanual"};
    for (int k = 0; k < 5; ++k)
        out.Flag(std::string("CoupleToSubsequent") + kinds[k] + "Couplers", c.coupleToSubsequent[k]);
}

void WriteDivisional(DefinitionText& out, const DemoOrgan& o, int index) {
    const DivisionalSpec& d = o.divisionals[static_cast<size_t>(index)];
    const ManualSpec& m = o.manuals[static_cast<size_t>(d.manual)];
    out.Section(NumberedName("Divisional", index + 1));
    WriteButton(out, d.name, d.place);
    // Every stop and coupler of the manual is stored, drawn or retired; the
    // unison off is left to the player.
    std::vector<int> couplers;
    for (int c : m.couplers)
        if (!o.couplers[static_cast<size_t>(c)].unisonOff) couplers.push_back(c);
    out.Key("NumberOfStops", static_cast<int>(m.stops.size()));
    out.Key("NumberOfCouplers", static_cast<int>(couplers.size()));
    out.Key("NumberOfTremulants", static_cast<int>(m.tremulants.size()));
    for (size_t s = 0; s < m.stops.size(); ++s)
        out.Key(NumberedName("Stop", static_cast<int>(s) + 1),
                Signed(static_cast<int>(s) + 1, Contains(d.registration.stops, m.stops[s])));
    for (size_t c = 0; c < couplers.size(); ++c)
        out.Key(NumberedName("Coupler", static_cast<int>(c) + 1),
                Signed(o.CouplerPosition(couplers[c]), Contains(d.registration.couplers, couplers[c])));
    for (size_t t = 0; t < m.tremulants.size(); ++t)
        out.Key(NumberedName("Tremulant", static_cast<int>(t) + 1),
                Signed(static_cast<int>(t) + 1, Contains(d.registration.tremulants, m.tremulants[t])));
}

void WriteGeneral(DefinitionText& out, const DemoOrgan& o, int index) {
    const GeneralSpec& g = o.generals[static_cast<size_t>(index)];
    out.Section(NumberedName("General", index + 1));
    WriteButton(out, g.name, g.place);
    out.Key("NumberOfStops", static_cast<int>(o.stops.size()));
    int couplers = 0;
    for (const auto& c : o.couplers) couplers += c.unisonOff ? 0 : 1;
    out.Key("NumberOfCouplers", couplers);
    out.Key("NumberOfTremulants", 1);
    out.Key("NumberOfDivisionalCouplers", 1);
    int entry = 1;
    for (const auto& m : o.manuals)
        for (int s : m.stops) {
            char manual[8];
            std::snprintf(manual, sizeof manual, "%03d", m.number);
            out.Key(NumberedName("StopManual", entry), manual);
            out.Key(NumberedName("StopNumber", entry), Signed(o.StopPosition(s), Contains(g.registration.stops, s)));
            ++entry;
        }
    entry = 1;
    for (const auto& m : o.manuals)
        for (int c : m.couplers) {
            if (o.couplers[static_cast<size_t>(c)].unisonOff) continue;
            char manual[8];
            std::snprintf(manual, sizeof manual, "%03d", m.number);
            out.Key(NumberedName("CouplerManual", entry), manual);
            out.Key(NumberedName("CouplerNumber", entry),
                    Signed(o.CouplerPosition(c), Contains(g.registration.couplers, c)));
            ++entry;
        }
    out.Key("TremulantNumber001", Signed(1, Contains(g.registration.tremulants, 0)));
    out.Key("DivisionalCouplerNumber001", Signed(1, Contains(g.registration.divisionalCouplers, 0)));
}

}  // namespace

std::string PipeSamplePath(const DemoOrgan& organ, const StopSpec& stop, int pipe) {
    static const char* names[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    int note = KeyNoteOfPipe(stop, pipe);
    char file[32];
    std::snprintf(file, sizeof file, "%03d-%s%d.wav", note, names[note % 12], note / 12 - 1);
    return organ.sampleRoot + "/" + organ.manuals[static_cast<size_t>(stop.manual)].name + "/" + stop.folder +
           "/" + file;
}

std::string OrganDefinitionText(const DemoOrgan& o, bool stereo) {
    DefinitionText out;
    out.Comment("Tessaline Demo Organ: every pipe of this organ is synthesised by make-demo-organ.");
    WriteOrganSection(out, o, stereo);
    WriteSoundSections(out);

    out.Section("Tremulant001");
    WriteDrawstop(out, "Tremulant", o.tremulantPlace);
    out.Key("Period", 190);
    out.Key("StartRate", 8);
    out.Key("StopRate", 6);
    out.Key("AmpModDepth", 12);

    for (const auto& m : o.manuals) WriteManual(out, o, m);
    for (size_t s = 0; s < o.stops.size(); ++s) WriteStop(out, o, static_cast<int>(s));
    for (size_t c = 0; c < o.couplers.size(); ++c) WriteCoupler(out, o, static_cast<int>(c));

    out.Section("DivisionalCoupler001");
    WriteDrawstop(out, "Great & Pedal Pistons Coupled", o.divisionalCouplerPlace);
    out.Key("NumberOfManuals", 2);
    out.Key("Manual001", kGreat);
    out.Key("Manual002", kPedal);
    out.Flag("BiDirectionalCoupling", false);

    for (size_t d = 0; d < o.divisionals.size(); ++d) WriteDivisional(out, o, static_cast<int>(d));
    for (size_t g = 0; g < o.generals.size(); ++g) WriteGeneral(out, o, static_cast<int>(g));

    out.Section("ReversiblePiston001");
    WriteButton(out, "Gt-Ped", o.reversiblePlace);
    out.Key("ObjectType", "Coupler");
    out.Key("ManualNumber", o.couplers[static_cast<size_t>(o.reversibleCoupler)].manual);
    out.Key("ObjectNumber", o.CouplerPosition(o.reversibleCoupler));

    for (size_t l = 0; l < o.labels.size(); ++l) {
        const LabelSpec& label = o.labels[l];
        out.Section(NumberedName("Label", static_cast<int>(l) + 1));
        out.Key("Name", label.name);
        out.Key("DispImageNum", 1);
        out.Flag("FreeXPlacement", false);
        out.Flag("FreeYPlacement", false);
        out.Key("DispDrawstopCol", label.col);
        out.Flag("DispSpanDrawstopColToRight", label.spanRight);
        out.Flag("DispAtTopOfDrawstopCol", true);
        // Dark lettering: the plate is a light one.
        out.Key("DispLabelColour", "BLACK");
        out.Key("DispLabelFontSize", "Normal");
    }
    return out.text;
}

}  // namespace tessaline::demo
