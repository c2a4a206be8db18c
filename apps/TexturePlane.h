#pragma once
// TexturePlane: how a flat object's texture is laid over its plane when the object is drawn
// through IVVertexContainerTexturedPlane (texture coordinates computed from the plane, not
// stored per corner): the plane's frame in world model units and the area one copy of the texture
// covers; beyond one copy the texture repeats (the software texture's default addressing).
// Plain data.
#include "host/math/MMPoint3d.h"

struct TexturePlane {
    MMPoint3d<double> corner{0.0, 0.0, 0.0}; // where u = 0 and v = the top of the texture
    MMPoint3d<double> u_axis{1.0, 0.0, 0.0}; // unit vectors along the texture's rows and down its columns
    MMPoint3d<double> v_axis{0.0, 1.0, 0.0};
    double width = 1.0; // model units along u_axis and v_axis
    double height = 1.0;
    double tile_width = 1.0; // model units one copy of the texture spans
    double tile_height = 1.0;
};
