#include "ConsoleCheck.h"

#include "organ/KeyReader.h"
#include "platform/virtual/FixedMetricsConsoleView.h"

namespace tessaline::demo {

namespace {

constexpr const char* kAction = "Checking the demo organ's console.";

class Placer {
public:
    Placer(const DefinitionFile& file, const ConsoleLayout& layout, std::vector<PlacedPiece>& pieces)
        : file(file), layout(layout), pieces(pieces) {}

    int Number(const std::string& section, const char* key) {
        const std::string* value = file.Find(section, key);
        if (!value) {
            if (error.empty()) error = "The key " + section + "/" + key + " is missing.";
            return 0;
        }
        return ParseWholeNumber(value->c_str());
    }

    void Drawstop(const std::string& section) {
        uint32_t row = static_cast<uint32_t>(Number(section, "DispDrawstopRow"));
        uint32_t col = static_cast<uint32_t>(Number(section, "DispDrawstopCol")) - 1;
        if (row < kFirstExtraRow) --row;
        uint32_t x = layout.DrawstopX(row, col), y = layout.DrawstopY(row, col);
        pieces.push_back({section, {x, y, x + kDrawstopWidth, y + kDrawstopHeight}});
    }

    void Button(const std::string& section) {
        uint32_t row = static_cast<uint32_t>(Number(section, "DispButtonRow"));
        uint32_t col = static_cast<uint32_t>(Number(section, "DispButtonCol")) - 1;
        uint32_t x = layout.ButtonX(row, col), y = layout.ButtonY(row);
        pieces.push_back({section, {x, y, x + kButtonWidth, y + kButtonHeight}});
    }

    void Label(const std::string& section) {
        auto flag = [&](const char* key) {
            const std::string* v = file.Find(section, key);
            return v && !v->empty() && (v->front() == 'Y' || v->front() == 'y');
        };
        LabelPlacement p;
        p.freeXPlacement = flag("FreeXPlacement");
        p.freeYPlacement = flag("FreeYPlacement");
        if (p.freeXPlacement) p.dispXpos = static_cast<uint32_t>(Number(section, "DispXpos"));
        else p.dispDrawstopCol = static_cast<uint32_t>(Number(section, "DispDrawstopCol")) - 1;
        p.dispSpanDrawstopColToRight = flag("DispSpanDrawstopColToRight");
        if (p.freeYPlacement) p.dispYpos = static_cast<uint32_t>(Number(section, "DispYpos"));
        p.dispAtTopOfDrawstopCol = flag("DispAtTopOfDrawstopCol");
        Point at = layout.LabelPosition(p);
        pieces.push_back({section, {at.x, at.y, at.x + kLabelWidth, at.y + kLabelHeight}});
    }

    std::string error;

private:
    const DefinitionFile& file;
    const ConsoleLayout& layout;
    std::vector<PlacedPiece>& pieces;
};

}  // namespace

bool PlaceConsole(const DefinitionFile& file, uint32_t frameWidth, uint32_t frameHeight,
                  std::vector<PlacedPiece>& pieces, uint32_t& clientWidth, uint32_t& clientHeight,
                  std::string& error) {
    pieces.clear();
    KeyReader organ(file, "Organ", kAction);
    ConsoleLayout layout;
    FixedMetricsConsoleView view;
    if (!layout.ReadFirstGroup(organ) || !layout.ReadSecondGroup(organ, view) || !layout.ReadScreenSize(organ)) {
        error = "The display settings of the organ were refused.";
        return false;
    }
    Placer place(file, layout, pieces);
    const bool hasPedals = organ.Text("HasPedals", 8).starts_with("Y");
    const int manuals = place.Number("Organ", "NumberOfManuals");
    for (int m = 1; m <= manuals; ++m)
        if (file.Find(NumberedName("Manual", m), "Displayed") &&
            *file.Find(NumberedName("Manual", m), "Displayed") == "Y")
            ++layout.displayedManualCount;
    clientWidth = layout.windowWidth - frameWidth;
    clientHeight = layout.windowHeight - frameHeight;
    layout.ComputeFixedPositions(clientWidth, clientHeight);

    KeyboardSlots slots(hasPedals);
    for (int m = hasPedals ? 0 : 1; m <= manuals; ++m) {
        const std::string manual = NumberedName("Manual", m);
        const bool displayed = file.Find(manual, "Displayed") && *file.Find(manual, "Displayed") == "Y";
        const uint32_t slot = slots.Place(static_cast<uint32_t>(m), displayed);
        if (displayed) {
            KeyboardPlacement k = layout.Keyboard(slot, static_cast<uint32_t>(place.Number(manual, "FirstAccessibleKeyMIDINoteNumber")),
                                                  static_cast<uint32_t>(place.Number(manual, "NumberOfAccessibleKeys")));
            pieces.push_back({manual, {k.left, k.keyTop, k.left + k.width, k.keyTop + kKeyStripHeight}});
        }
        for (int s = 1; s <= place.Number(manual, "NumberOfStops"); ++s)
            place.Drawstop(NumberedName("Stop", place.Number(manual, NumberedName("Stop", s).c_str())));
        for (int c = 1; c <= place.Number(manual, "NumberOfCouplers"); ++c)
            place.Drawstop(NumberedName("Coupler", place.Number(manual, NumberedName("Coupler", c).c_str())));
        const std::string* divisionals = file.Find(manual, "NumberOfDivisionals");
        for (int d = 1; divisionals && d <= ParseWholeNumber(divisionals->c_str()); ++d)
            place.Button(NumberedName("Divisional", place.Number(manual, NumberedName("Divisional", d).c_str())));
    }
    for (int t = 1; t <= place.Number("Organ", "NumberOfTremulants"); ++t) place.Drawstop(NumberedName("Tremulant", t));
    for (int d = 1; d <= place.Number("Organ", "NumberOfDivisionalCouplers"); ++d)
        place.Drawstop(NumberedName("DivisionalCoupler", d));
    for (int g = 1; g <= place.Number("Organ", "NumberOfGenerals"); ++g) place.Button(NumberedName("General", g));
    for (int r = 1; r <= place.Number("Organ", "NumberOfReversiblePistons"); ++r)
        place.Button(NumberedName("ReversiblePiston", r));
    for (int l = 1; l <= place.Number("Organ", "NumberOfLabels"); ++l) place.Label(NumberedName("Label", l));
    const uint32_t enclosures = static_cast<uint32_t>(place.Number("Organ", "NumberOfEnclosures"));
    for (uint32_t e = 0; e < enclosures; ++e) {
        Point at = layout.EnclosurePanel(e, enclosures);
        pieces.push_back({NumberedName("Enclosure", static_cast<int>(e) + 1),
                          {at.x, at.y, at.x + kEnclosurePanelWidth, at.y + kEnclosurePanelHeight}});
    }
    error = place.error;
    return error.empty();
}

bool ConsoleFitsWindow(const DefinitionFile& file, std::string& error) {
    std::vector<PlacedPiece> pieces;
    uint32_t width = 0, height = 0;
    if (!PlaceConsole(file, kWindowFrameWidth, kWindowFrameHeight, pieces, width, height, error)) return false;
    for (const PlacedPiece& p : pieces) {
        // Positions that wrapped below zero come out as huge unsigned values.
        if (p.frame.right > width || p.frame.bottom > height || p.frame.left > p.frame.right ||
            p.frame.top > p.frame.bottom) {
            error = p.section + " lies outside the console window.";
            return false;
        }
    }
    return true;
}

}  // namespace tessaline::demo
