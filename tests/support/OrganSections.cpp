#include "support/OrganSections.h"

#include "organ/DefinitionReader.h"
#include "support/CombinationSections.h"
#include "support/WavBuilder.h"

namespace tessaline::test {

namespace {

void SetControlKeys(OrganFileBuilder& b, const std::string& section, const std::string& name) {
    b.Set(section, "Name", name);
    b.Set(section, "Displayed", "Y");
    b.Set(section, "DispKeyLabelOnLeft", "N");
    b.Set(section, "DispLabelColour", "White");
    b.Set(section, "DispLabelFontSize", "Normal");
}

}  // namespace

void SetDrawstopKeys(OrganFileBuilder& b, const std::string& section, const std::string& name,
                     int row, int column) {
    b.Set(section, "DispDrawstopRow", std::to_string(row));
    b.Set(section, "DispDrawstopCol", std::to_string(column));
    b.Set(section, "DefaultToEngaged", "N");
    b.Set(section, "DisplayInInvertedState", "N");
    b.Set(section, "DispImageNum", "1");
    SetControlKeys(b, section, name);
}

void SetButtonKeys(OrganFileBuilder& b, const std::string& section, const std::string& name,
                   int row, int column) {
    b.Set(section, "DispButtonCol", std::to_string(column));
    b.Set(section, "DispButtonRow", std::to_string(row));
    b.Set(section, "MIDIProgramChangeNumber", "1");
    b.Set(section, "DispImageNum", "1");
    SetControlKeys(b, section, name);
}

void SetStop(OrganFileBuilder& b, int n, const std::vector<std::string>& specifiers) {
    std::string section = NumberedName("Stop", n);
    SetDrawstopKeys(b, section, "Stop " + std::to_string(n), 1, (n - 1) % 4 + 1);
    b.Set(section, "AmplitudeLevel", "100");
    b.Set(section, "NumberOfLogicalPipes", std::to_string(specifiers.size()));
    b.Set(section, "NumberOfAccessiblePipes", std::to_string(specifiers.size()));
    b.Set(section, "FirstAccessiblePipeLogicalPipeNumber", "1");
    b.Set(section, "FirstAccessiblePipeLogicalKeyNumber", "1");
    b.Set(section, "WindchestGroup", "1");
    b.Set(section, "Percussive", "N");
    for (size_t p = 0; p < specifiers.size(); ++p)
        b.Set(section, NumberedName("Pipe", static_cast<int>(p + 1)), specifiers[p]);
}

void SetCoupler(OrganFileBuilder& b, int n, int destination, int keyshift) {
    std::string section = NumberedName("Coupler", n);
    SetDrawstopKeys(b, section, "Coupler " + std::to_string(n), 2, (n - 1) % 4 + 1);
    b.Set(section, "UnisonOff", "N");
    b.Set(section, "DestinationManual", std::to_string(destination));
    b.Set(section, "DestinationKeyshift", std::to_string(keyshift));
    for (const char* kind : {"UnisonIntermanual", "UpwardIntermanual", "DownwardIntermanual",
                             "UpwardIntramanual", "DownwardIntramanual"})
        b.Set(section, std::string("CoupleToSubsequent") + kind + "Couplers", "N");
}

void SetTremulant(OrganFileBuilder& b, int n) {
    std::string section = NumberedName("Tremulant", n);
    SetDrawstopKeys(b, section, "Tremulant " + std::to_string(n), 3, (n - 1) % 4 + 1);
    b.Set(section, "Period", "200");
    b.Set(section, "StartRate", "10");
    b.Set(section, "StopRate", "10");
    b.Set(section, "AmpModDepth", "50");
}

void SetManual(OrganFileBuilder& b, int m, int keys, const std::vector<int>& stops) {
    std::string section = NumberedName("Manual", m);
    b.Set(section, "Name", "Manual " + std::to_string(m));
    b.Set(section, "NumberOfLogicalKeys", std::to_string(keys));
    b.Set(section, "NumberOfAccessibleKeys", std::to_string(keys));
    b.Set(section, "FirstAccessibleKeyLogicalKeyNumber", "1");
    b.Set(section, "FirstAccessibleKeyMIDINoteNumber", "36");
    b.Set(section, "MIDIInputNumber", "1");
    b.Set(section, "Displayed", "Y");
    b.Set(section, "DispKeyColourInverted", "N");
    b.Set(section, "NumberOfStops", std::to_string(stops.size()));
    for (size_t s = 0; s < stops.size(); ++s)
        b.Set(section, NumberedName("Stop", static_cast<int>(s + 1)), std::to_string(stops[s]));
}

std::string WritePipeWav(const TempDir& dir, const std::string& relative, int channels,
                         int frames) {
    WavBuilder wav;
    uint32_t n = static_cast<uint32_t>(frames);
    wav.Channels(static_cast<uint16_t>(channels)).Pattern(n).Loop(n / 6, n / 2).Cue(n / 6).Cue(n * 3 / 4);
    dir.Write(relative, wav.Build());
    return relative;
}

std::vector<std::string> WritePipeWavs(const TempDir& dir, const std::string& folder, int count,
                                       int channels) {
    std::vector<std::string> specifiers;
    for (int p = 1; p <= count; ++p)
        specifiers.push_back(
            WritePipeWav(dir, folder + "/" + NumberedName("p", p) + ".wav", channels));
    return specifiers;
}

void SetGeneral(OrganFileBuilder& b, int n, int row, int column,
                const std::vector<std::pair<int, int>>& stops) {
    const std::string section = NumberedName("General", n);
    SetButtonKeys(b, section, "G" + std::to_string(n), row, column);
    b.Set(section, "NumberOfStops", std::to_string(stops.size()));
    for (size_t s = 0; s < stops.size(); ++s) {
        const int i = static_cast<int>(s) + 1;
        b.Set(section, NumberedName("StopManual", i), std::to_string(stops[s].first));
        b.Set(section, NumberedName("StopNumber", i), std::to_string(stops[s].second));
    }
    b.Set(section, "NumberOfCouplers", "0");
    b.Set(section, "NumberOfTremulants", "0");
    b.Set(section, "NumberOfDivisionalCouplers", "0");
}

void SetDivisional(OrganFileBuilder& b, int n, int row, int column, const std::vector<int>& stops) {
    const std::string section = NumberedName("Divisional", n);
    SetButtonKeys(b, section, "D" + std::to_string(n), row, column);
    b.Set(section, "NumberOfStops", std::to_string(stops.size()));
    for (size_t s = 0; s < stops.size(); ++s)
        b.Set(section, NumberedName("Stop", static_cast<int>(s) + 1),
              (stops[s] > 0 ? "+" : "") + std::to_string(stops[s]));
    b.Set(section, "NumberOfCouplers", "0");
    b.Set(section, "NumberOfTremulants", "0");
}

}  // namespace tessaline::test
