#include "console/Label.h"

#include "console/Control.h"
#include "organ/KeyReader.h"
#include "organ/Organ.h"

namespace tessaline {

namespace {

constexpr const char* kLabelAction = "Loading an organ label.";
constexpr size_t kNameBuffer = 64;
constexpr size_t kNumberBuffer = 8;

}  // namespace

void Label::Clear() {
    Organ* owner = organ;
    *this = Label{};
    organ = owner;
}

bool Label::Load(const DefinitionFile& file, int index) {
    Clear();
    std::string sectionName = NumberedName("Label", index + 1);
    const char* s = sectionName.c_str();
    KeyReader section(file, sectionName, kLabelAction);
    uint32_t image = 0;
    LabelPlacement placement;
    bool ok =
        section.RequiredText("Name", kNameBuffer, name,
                             "No name is specified in the organ definition file for %s or the section is missing.",
                             s) &&
        section.Whole("DispImageNum", kNumberBuffer, 1, 1, image,
                      "The DispImageNum setting for %s could not be found in the organ definition file.",
                      "An invalid DispImageNum setting for %s is specified in the organ definition file (1-%d).",
                      s, 1) &&
        ReadPlacement(section, placement) && ReadLabelAppearance(section, s, colour, fontSize);
    if (!ok) {
        Clear();
        return false;
    }
    Point position = organ->Layout().LabelPosition(placement);
    x = static_cast<int32_t>(position.x);
    y = static_cast<int32_t>(position.y);
    imageIndex = 0;
    plateBuilt = false;
    loaded = true;
    return true;
}

bool Label::ReadPlacement(const KeyReader& section, LabelPlacement& placement) const {
    const ConsoleLayout& layout = organ->Layout();
    const char* s = section.Section().c_str();
    if (!section.Flag("FreeXPlacement", placement.freeXPlacement,
                      "The free x-placement setting is not specified in the organ definition file for %s.",
                      "The free x-placement setting is invalid in the organ definition file for %s (Y/N).",
                      s) ||
        !section.Flag("FreeYPlacement", placement.freeYPlacement,
                      "The free y-placement setting is not specified in the organ definition file for %s.",
                      "The free y-placement setting is invalid in the organ definition file for %s (Y/N).",
                      s))
        return false;

    // A negative position reads as a large unsigned one and fails the bound.
    if (placement.freeXPlacement) {
        if (!section.Whole("DispXpos", kNumberBuffer, 0, layout.windowWidth - 1, placement.dispXpos,
                           "The display x-position is not specified in the organ definition file for %s.",
                           "An invalid display x-position is specified in the organ definition file for %s.",
                           s))
            return false;
    } else {
        uint32_t column = 0;
        if (!section.Whole("DispDrawstopCol", kNumberBuffer, 1, layout.dispDrawstopCols, column,
                           "The display drawstop column number is not specified in the organ definition file for %s.",
                           "An invalid display drawstop column number is specified in the organ definition file for %s.",
                           s) ||
            !section.Flag("DispSpanDrawstopColToRight", placement.dispSpanDrawstopColToRight,
                          "The DispSpanDrawstopColToRight setting is not specified in the organ definition file for %s.",
                          "The DispSpanDrawstopColToRight setting is invalid in the organ definition file for %s (Y/N).",
                          s))
            return false;
        placement.dispDrawstopCol = column - 1;
    }

    if (placement.freeYPlacement) {
        if (!section.Whole("DispYpos", kNumberBuffer, 0, layout.clientHeight - 1, placement.dispYpos,
                           "The display y-position is not specified in the organ definition file for %s.",
                           "An invalid display y-position is specified in the organ definition file for %s.",
                           s))
            return false;
    } else if (!section.Flag("DispAtTopOfDrawstopCol", placement.dispAtTopOfDrawstopCol,
                             "The DispAtTopOfDrawstopCol setting is not specified in the organ definition file for %s.",
                             "The DispAtTopOfDrawstopCol setting is invalid in the organ definition file for %s (Y/N).",
                             s)) {
        return false;
    }
    return true;
}

}  // namespace tessaline
