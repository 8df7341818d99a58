#pragma once
// An organ loaded headlessly with the built-in artwork and a renderer whose
// canvas is the console's client area.

#include <gtest/gtest.h>

#include <QColor>

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
        renderer.SetClientSize(static_cast<int>(view.ClientWidth()),
                               static_cast<int>(view.ClientHeight()));
        return ok;
    }
    QRgb Pixel(int x, int y) const { return renderer.Canvas().pixel(x, y); }

    ConsoleArtwork artwork;
    ConsoleRenderer renderer{organ, artwork};
};

inline QRgb Rgb(int r, int g, int b) { return qRgb(r, g, b); }

}  // namespace tessaline::test
