#pragma once
// RoomScene: the furnished room of `--scene room`, generated in code, in millimetres, z up: a
// 5 x 4 m room 2.6 m high (x from -2500 to 2500, y from -2000 to 2000) with a parquet floor (its
// texture laid over the floor's plane), four walls, a ceiling, a window with two transparent glass
// panes in the wall at y = 2000 looking out on a sky and a lawn, a sofa, a coffee table with a
// glass top, a bookshelf with books, a floor lamp, a plant, and a textured picture on the wall at
// x = -2500. Panoramas look from the middle of the room towards the window; a linear view, whose
// narrower field would show little more than the window from there, stands in a corner instead.
#include "apps/Scene.h"

#include "host/math/MMPoint3d.h"

class RoomScene {
public:
    static constexpr MMPoint3d<double> EYE{0.0, 0.0, 1500.0};
    static constexpr MMPoint3d<double> TARGET{0.0, 1000.0, 1500.0};
    static constexpr MMPoint3d<double> CORNER_EYE{2300.0, -1800.0, 1700.0};
    static constexpr MMPoint3d<double> CORNER_TARGET{-900.0, 800.0, 900.0};
    static constexpr double WIDTH = 5000.0, DEPTH = 4000.0, HEIGHT = 2600.0;

    static Scene Make();

    // The floor's parquet and the picture's landscape, RGBA, rows top to bottom.
    static StlMesh::Image MakeParquet(int size);
    static StlMesh::Image MakePainting(int width, int height);
};
