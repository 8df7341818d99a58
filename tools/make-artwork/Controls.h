#pragma once
// The pictures of drawstops, buttons and the label plate, each with the 1-bit
// mask the console composes it through: (picture AND mask) OR (background AND
// NOT mask). Mask white (1) = the picture shows; black (0) = the background
// shows. Pictures are black wherever their mask is black.

#include <QImage>

namespace tessaline::artwork {

struct MaskedPicture {
    QImage picture;  // RGB32
    QImage mask;     // Format_Mono, colour 0 black, colour 1 white
};

struct DrawstopSet {
    QImage disengaged;  // RGB32
    QImage engaged;     // RGB32
    QImage mask;        // one mask for both pictures
};

// set 0: ivory faces in walnut; set 1: porcelain faces in ebony with a gilt line.
DrawstopSet MakeDrawstopSet(int set);

// set 0: ivory pistons in brass collars; set 1: black pistons in nickel collars.
MaskedPicture MakeButton(int set);

// The engraved ivory name plate of free-standing labels.
MaskedPicture MakeLabelPlate();

}  // namespace tessaline::artwork
