#pragma once
// An organ loaded headlessly with the built-in artwork and a renderer whose
// canvas is the console's client area.

#include <gtest/gtest.h>

#include <QColor>

#include "console/ConsolePalette.h"
#include "console/render/ConsoleArtwork.h"
#include "console/render/ConsoleRenderer.h"
#include "platform/DataDirectory.h"
#include "support/OrganRig.h"
#include "support/OrganSections.h"

namespace tessaline::test {

struct RenderRig : OrganRig {
    RenderRig() {
        organ.SetDataDirectory(DefaultDataDirectory());
        EXPECT_TRUE(artwork.Load(DefaultDataDirectory())) << artwork.Missing();
    }
    // Loads the organ and sizes the canvas to the client area the load chose.
    bool LoadAndSize(const OrganFileBuilder& builder) {
        bool ok = Load(builder);
        SizeToClient(renderer);
        return ok;
    }
    // Sizes a renderer's canvas (the rig's own or a widget's) to the client area.
    void SizeToClient(ConsoleRenderer& r) const {
        r.SetClientSize(static_cast<int>(view.ClientWidth()), static_cast<int>(view.ClientHeight()));
    }
    QRgb Pixel(int x, int y) const { return renderer.Canvas().pixel(x, y); }

    ConsoleArtwork artwork;
    ConsoleRenderer renderer{organ, artwork};
};

inline QRgb ToRgb(Colour c) { return qRgb(c.red, c.green, c.blue); }

}  // namespace tessaline::test
