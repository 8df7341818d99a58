#include "combinations/ReversiblePiston.h"

#include <string>

#include "combinations/CombinationTargets.h"
#include "organ/KeyReader.h"
#include "organ/Organ.h"

namespace tessaline {

namespace {

constexpr const char* kPistonAction = "Loading a reversible piston.";
constexpr size_t kTypeBuffer = 16;
constexpr size_t kNumberBuffer = 8;

}  // namespace

void ReversiblePiston::Clear() {
    Button::Clear();
    objectType = PistonObject::None;
    manual = 0;
    object = 0;
    pistonLoaded = false;
}

bool ReversiblePiston::Load(const DefinitionFile& file, int pistonNumber) {
    Clear();
    if (!Button::Load(file, "ReversiblePiston", pistonNumber)) return false;
    const Organ& organ = *Control::organ;
    std::string sectionName = NumberedName("ReversiblePiston", pistonNumber);
    const char* s = sectionName.c_str();
    KeyReader section(file, sectionName, kPistonAction);

    std::string type = section.Text("ObjectType", kTypeBuffer);
    if (type.empty()) {
        section.Report("No object type is specified in the organ definition file for %s.", s);
        Clear();
        return false;
    }
    if (EqualsIgnoreCase(type, "Stop")) {
        objectType = PistonObject::Stop;
    } else if (EqualsIgnoreCase(type, "Coupler")) {
        objectType = PistonObject::Coupler;
    } else if (EqualsIgnoreCase(type, "Tremulant")) {
        objectType = PistonObject::Tremulant;
    } else {
        section.Report("An invalid object type is specified in the organ definition file for %s.", s);
        Clear();
        return false;
    }

    uint32_t count = organ.numberOfTremulants;
    if (objectType != PistonObject::Tremulant) {
        std::string text = section.Text("ManualNumber", kNumberBuffer);
        if (text.empty()) {
            section.Report("Manual specifier for %s could not be found in the organ definition file.", s);
            Clear();
            return false;
        }
        manual = static_cast<uint32_t>(ParseWholeNumber(text.c_str()));
        if (!((manual == 0 && organ.hasPedals) || (manual >= 1 && manual <= organ.numberOfManuals))) {
            section.Report("An invalid manual specifier for %s is specified in the organ definition file.", s);
            Clear();
            return false;
        }
        const Manual& m = organ.manuals[manual];
        count = static_cast<uint32_t>(objectType == PistonObject::Stop ? m.numberOfStops
                                                                        : m.numberOfCouplers);
    }
    uint32_t number = 0;
    if (!section.Whole("ObjectNumber", kNumberBuffer, 1, count, number,
                       "Object number specifier for %s could not be found in the organ definition file.",
                       "An invalid object number is specified in the organ definition file for %s.", s)) {
        Clear();
        return false;
    }
    object = number - 1;
    pistonLoaded = true;
    return true;
}

void ReversiblePiston::Press() {
    if (!pistonLoaded) return;
    Organ& organ = *Control::organ;
    int index = static_cast<int>(object);
    switch (objectType) {
        case PistonObject::Stop: ToggleStop(organ.manuals[manual], index); break;
        case PistonObject::Coupler: ToggleCoupler(organ.manuals[manual], index); break;
        case PistonObject::Tremulant: ToggleTremulant(organ, index); break;
        case PistonObject::None: break;
    }
}

}  // namespace tessaline
