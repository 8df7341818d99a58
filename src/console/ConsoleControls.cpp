#include "console/ConsoleControls.h"

namespace tessaline {

bool FindControl(Organ& organ, const Control* wanted, ControlRef& found) {
    bool present = false;
    ForEachConsoleControl(organ, [&](const ControlRef& ref) {
        if (!present && &ref.Face() == wanted) {
            found = ref;
            present = true;
        }
    });
    return present;
}

}  // namespace tessaline
