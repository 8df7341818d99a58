#include "support/OrganFileBuilder.h"

#include <algorithm>

#include "support/OrganSections.h"

namespace tessaline::test {

OrganFileBuilder OrganFileBuilder::MinimalOrgan() {
    OrganFileBuilder b;
    const std::pair<const char*, const char*> organ[] = {
        {"TessalineOrganFileFormatVersion", "1.21"},
        {"ChurchName", "Test Church"},
        {"ChurchAddress", "1 Test Street"},
        {"OrganBuilder", "Test Builder"},
        {"OrganBuildDate", "1900"},
        {"OrganComments", "None"},
        {"RecordingDetails", "None"},
        {"InfoFilename", "info.html"},
        {"NumberOfManuals", "1"},
        {"NumberOfEnclosures", "0"},
        {"NumberOfTremulants", "0"},
        {"NumberOfWindchestGroups", "1"},
        {"HasPedals", "N"},
        {"HighestSampleFormat", "Mono"},
        {"NumberOfGenerals", "0"},
        {"NumberOfReversiblePistons", "0"},
        {"NumberOfDivisionalCouplers", "0"},
        {"NumberOfLabels", "0"},
        {"DivisionalsStoreTremulants", "Y"},
        {"DivisionalsStoreIntermanualCouplers", "Y"},
        {"DivisionalsStoreIntramanualCouplers", "Y"},
        {"GeneralsStoreDivisionalCouplers", "Y"},
        {"CombinationsStoreNonDisplayedDrawstops", "N"},
        {"DispExtraDrawstopRowsAboveExtraButtonRows", "N"},
        {"DispTrimAboveExtraRows", "N"},
        {"DispTrimAboveManuals", "N"},
        {"DispTrimBelowManuals", "N"},
        {"DispButtonsAboveManuals", "N"},
        {"DispExtraPedalButtonRow", "N"},
        {"AmplitudeLevel", "100"},
        {"DispDrawstopCols", "4"},
        {"DispButtonCols", "10"},
        {"DispDrawstopRows", "4"},
        {"DispDrawstopColsOffset", "N"},
        {"DispPairDrawstopCols", "N"},
        {"DispExtraButtonRows", "0"},
        {"DispExtraDrawstopRows", "0"},
        {"DispExtraDrawstopCols", "0"},
        {"DispControlLabelFont", "Times New Roman"},
        {"DispShortcutKeyLabelFont", "Arial"},
        {"DispGroupLabelFont", "Arial"},
        {"DispShortcutKeyLabelColour", "Yellow"},
        {"DispDrawstopBackgroundImageNum", "1"},
        {"DispDrawstopInsetBackgroundImageNum", "2"},
        {"DispKeyHorizBackgroundImageNum", "3"},
        {"DispKeyVertBackgroundImageNum", "4"},
        {"DispConsoleBackgroundImageNum", "5"},
        {"DispScreenSizeHoriz", "Small"},
        {"DispScreenSizeVert", "Small"},
    };
    for (const auto& [key, value] : organ) b.Set("Organ", key, value);
    SetManual(b, 1, 61, {});
    b.Set("Manual001", "Name", "Great");
    b.Set("WindchestGroup001", "Name", "Main");
    b.Set("WindchestGroup001", "NumberOfEnclosures", "0");
    b.Set("WindchestGroup001", "NumberOfTremulants", "0");
    return b;
}

OrganFileBuilder::Section& OrganFileBuilder::Find(const std::string& name) {
    for (auto& section : sections)
        if (section.name == name) return section;
    sections.push_back({name, {}});
    return sections.back();
}

OrganFileBuilder& OrganFileBuilder::Set(const std::string& section, const std::string& key,
                                        const std::string& value) {
    auto& lines = Find(section).lines;
    auto line =
        std::find_if(lines.begin(), lines.end(), [&](const auto& l) { return l.first == key; });
    if (line != lines.end())
        line->second = value;
    else
        lines.emplace_back(key, value);
    return *this;
}

OrganFileBuilder& OrganFileBuilder::Remove(const std::string& section, const std::string& key) {
    std::erase_if(Find(section).lines, [&](const auto& line) { return line.first == key; });
    return *this;
}

std::string OrganFileBuilder::Text() const {
    std::string text;
    for (const auto& section : sections) {
        text += "[" + section.name + "]\r\n";
        for (const auto& [key, value] : section.lines) text += key + "=" + value + "\r\n";
        text += "\r\n";
    }
    return text;
}

size_t OrganFileBuilder::LineCount() const {
    size_t n = 0;
    for (const auto& section : sections) n += section.lines.size();
    return n;
}

std::vector<std::pair<std::string, std::string>> OrganFileBuilder::Keys() const {
    std::vector<std::pair<std::string, std::string>> keys;
    for (const auto& section : sections)
        for (const auto& line : section.lines) keys.emplace_back(section.name, line.first);
    return keys;
}

}  // namespace tessaline::test
