#pragma once
// An organ loaded headlessly with the built-in artwork and a renderer whose
// canvas is the console's client area.

#include <gtest/gtest.h>

#include <QColor>

#include "console/ConsolePalette.h"
#include "console/render/ConsoleArtwork.h"
#include "console/render/ConsoleRenderer.h"
#include "organ/Stop.h"
#include "platform/DataDirectory.h"
#include "support/CombinationSections.h"
#include "support/OrganRig.h"
#include "support/OrganSections.h"

namespace tessaline::test {

// A 4-column organ with pedals and an enclosure. Manual 1 has three stops:
// 1 (shown inverted) and 2 share shortcut key A (65), 3 is hidden with
// shortcut key left arrow (37). A general button on row 1, and a label at
// (10, 10) on the left jamb.
inline OrganFileBuilder ConsoleOrgan(const TempDir& dir) {
    OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
    b.Set("Organ", "HasPedals", "Y");
    SetManual(b, 0, 32, {});
    SetManual(b, 1, 61, {1, 2, 3});
    for (int n = 1; n <= 3; ++n) SetStop(b, n, WritePipeWavs(dir, "p" + std::to_string(n), 61));
    b.Set("Stop001", "DisplayInInvertedState", "Y");
    b.Set("Stop001", "ShortcutKey", "65");
    b.Set("Stop002", "ShortcutKey", "65");
    b.Set("Stop003", "ShortcutKey", "37");
    b.Set("Stop003", "Displayed", "N");
    b.Set("Organ", "NumberOfGenerals", "1");
    SetGeneral(b, 1, 1, 2, {{1, 1}});
    b.Set("Organ", "NumberOfEnclosures", "1");
    b.Set("Enclosure001", "Name", "Sw");
    b.Set("Enclosure001", "MIDIInputNumber", "1");
    b.Set("Enclosure001", "AmpMinimumLevel", "0");
    b.Set("Organ", "NumberOfLabels", "1");
    b.Set("Label001", "Name", "Hi");
    b.Set("Label001", "DispImageNum", "1");
    b.Set("Label001", "FreeXPlacement", "Y");
    b.Set("Label001", "FreeYPlacement", "Y");
    b.Set("Label001", "DispXpos", "10");
    b.Set("Label001", "DispYpos", "10");
    b.Set("Label001", "DispLabelColour", "Black");
    b.Set("Label001", "DispLabelFontSize", "Normal");
    return b;
}

struct RenderRig : OrganRig {
    RenderRig() {
        organ.SetDataDirectory(DefaultDataDirectory());
        EXPECT_TRUE(artwork.Load(DefaultDataDirectory())) << artwork.Missing();
    }
    // Loads the console organ and sizes the canvas to the client area the load chose.
    void LoadAndSize() {
        EXPECT_TRUE(Load(ConsoleOrgan(dir))) << ::testing::PrintToString(errors.Messages());
        SizeToClient(renderer);
    }
    // Sizes a renderer's canvas (the rig's own or a widget's) to the client area.
    void SizeToClient(ConsoleRenderer& r) const {
        r.SetClientSize(static_cast<int>(view.ClientWidth()), static_cast<int>(view.ClientHeight()));
    }
    QRgb Pixel(int x, int y) const { return renderer.Canvas().pixel(x, y); }
    Stop& StopAt(int s) { return *organ.manuals[1].GetStop(s); }

    ConsoleArtwork artwork;
    ConsoleRenderer renderer{organ, artwork};
};

inline QRgb ToRgb(Colour c) { return qRgb(c.red, c.green, c.blue); }

}  // namespace tessaline::test
