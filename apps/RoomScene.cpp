#include "apps/RoomScene.h"

#include "host/render/soft/IVTextureSoft.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <numbers>

namespace {

using Vector = MMPoint3d<double>;

Vector Add(const Vector& a, const Vector& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vector Scale(const Vector& a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}

uint32_t Colour(int red, int green, int blue, int alpha = 255) {
    return uint32_t(red) | uint32_t(green) << 8 | uint32_t(blue) << 16 | uint32_t(alpha) << 24;
}

// The room's own shapes, in millimetres: flat grids facing a chosen side (walls seen from inside),
// boxes, and cylinders or cones about a vertical axis, into one welded mesh. Counter-clockwise
// triangles seen from the side they face.
class ShapeWriter {
public:
    // A rectangle from `corner` spanning `u` and `v`, facing u x v, in `columns` x `rows` quads.
    void Grid(const Vector& corner, const Vector& u, const Vector& v, int columns, int rows) {
        auto at = [&](int i, int j) {
            return Point(Add(corner, Add(Scale(u, double(i) / columns), Scale(v, double(j) / rows))));
        };
        for (int j = 0; j < rows; ++j)
            for (int i = 0; i < columns; ++i)
                Quad(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
    }
    // A grid whose cells are about `cell` millimetres.
    void Wall(const Vector& corner, const Vector& u, const Vector& v, double cell) {
        auto count = [cell](const Vector& side) {
            return std::max(
                1, int(std::lround(std::sqrt(side.x * side.x + side.y * side.y + side.z * side.z) / cell)));
        };
        Grid(corner, u, v, count(u), count(v));
    }
    void Box(const Vector& minimum, const Vector& maximum) {
        const double dx = maximum.x - minimum.x, dy = maximum.y - minimum.y, dz = maximum.z - minimum.z;
        const Vector x{dx, 0, 0}, y{0, dy, 0}, z{0, 0, dz};
        Grid(minimum, y, x, 1, 1);
        Grid({minimum.x, minimum.y, maximum.z}, x, y, 1, 1);
        Grid(minimum, x, z, 1, 1);
        Grid({maximum.x, maximum.y, minimum.z}, {-dx, 0, 0}, z, 1, 1);
        Grid({minimum.x, maximum.y, minimum.z}, {0, -dy, 0}, z, 1, 1);
        Grid({maximum.x, minimum.y, minimum.z}, y, z, 1, 1);
    }
    // A cylinder (equal radii) or a cone's frustum about the vertical through `base`, with closed
    // ends where `capped`.
    void Frustum(const Vector& base, double bottom_radius, double top_radius, double height, int slices,
                 bool capped) {
        auto rim = [&](int slice, double radius, double z) {
            const double angle = 2.0 * std::numbers::pi * slice / slices;
            return Point({base.x + radius * std::cos(angle), base.y + radius * std::sin(angle), base.z + z});
        };
        const uint32_t bottom = Point(base), top = Point({base.x, base.y, base.z + height});
        for (int slice = 0; slice < slices; ++slice) {
            const uint32_t a = rim(slice, bottom_radius, 0), b = rim(slice + 1, bottom_radius, 0);
            const uint32_t c = rim(slice + 1, top_radius, height), d = rim(slice, top_radius, height);
            Quad(a, b, c, d);
            if (capped) {
                Triangle(bottom, b, a);
                Triangle(top, d, c);
            }
        }
    }
    void Sphere(const Vector& centre, double radius, int slices, int stacks) {
        auto at = [&](int slice, int stack) {
            const double azimuth = 2.0 * std::numbers::pi * slice / slices;
            const double polar = std::numbers::pi * stack / stacks;
            return Point({centre.x + radius * std::sin(polar) * std::cos(azimuth),
                          centre.y + radius * std::sin(polar) * std::sin(azimuth),
                          centre.z + radius * std::cos(polar)});
        };
        for (int stack = 0; stack < stacks; ++stack)
            for (int slice = 0; slice < slices; ++slice)
                Quad(at(slice, stack), at(slice, stack + 1), at(slice + 1, stack + 1), at(slice + 1, stack));
    }

    StlMesh Take() { return std::move(mo_mesh); }

private:
    uint32_t Point(const Vector& point) {
        // Points computed along different paths (a cylinder's seam) meet at a thousandth of a millimetre.
        const std::array<int64_t, 3> key{std::llround(point.x * 1000.0), std::llround(point.y * 1000.0),
                                         std::llround(point.z * 1000.0)};
        const auto [found, inserted] = mo_index.try_emplace(key, uint32_t(mo_mesh.points.size()));
        if (inserted)
            mo_mesh.points.push_back(
                {double(key[0]) / 1000.0, double(key[1]) / 1000.0, double(key[2]) / 1000.0});
        return found->second;
    }
    void Triangle(uint32_t a, uint32_t b, uint32_t c) {
        if (a == b || b == c || a == c)
            return;
        mo_mesh.triangles.push_back({a, b, c});
        mo_mesh.normals.push_back({0.0f, 0.0f, 0.0f});
    }
    void Quad(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
        Triangle(a, b, c);
        Triangle(a, c, d);
    }

    StlMesh mo_mesh;
    std::map<std::array<int64_t, 3>, uint32_t> mo_index;
};

// A cheap repeatable hash of integers to [0, 1), for the textures' variation.
double Hash(int a, int b) {
    uint32_t h = uint32_t(a) * 0x9E3779B1u ^ uint32_t(b) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return double(h & 0xFFFFFFu) / double(0x1000000);
}

void Put(StlMesh::Image& image, int x, int y, double red, double green, double blue) {
    uint8_t* pixel = image.rgba.data() + 4 * (size_t(y) * size_t(image.width) + size_t(x));
    pixel[0] = uint8_t(std::clamp(red, 0.0, 255.0));
    pixel[1] = uint8_t(std::clamp(green, 0.0, 255.0));
    pixel[2] = uint8_t(std::clamp(blue, 0.0, 255.0));
    pixel[3] = 255;
}

// Plain walls' colours.
constexpr uint32_t WALL = 0xFFD8E4EEu;        // warm white
constexpr uint32_t ACCENT_WALL = 0xFF9CB4C8u; // sand
constexpr uint32_t CEILING = 0xFFF4F6F8u;
constexpr uint32_t WHITE_PAINT = 0xFFF0F0F0u; // window frame
constexpr uint32_t GLASS = 0x46F0DCB4u;       // pale blue, alpha 70
constexpr uint32_t TABLE_GLASS = 0x6EC8E0B4u; // green-tinted, alpha 110
constexpr uint32_t STEEL = 0xFF6E6A64u;
constexpr uint32_t SOFA = 0xFF6E6428u; // teal
constexpr uint32_t WALNUT = 0xFF2A4A6Eu;
constexpr uint32_t SKY = 0xFFF0C88Cu;
constexpr uint32_t LAWN = 0xFF3C9650u;
constexpr uint32_t LAMP_SHADE = 0xFFB4E6F5u; // cream
constexpr uint32_t TERRACOTTA = 0xFF3C64B4u;
constexpr uint32_t LEAVES = 0xFF3C8C32u;
constexpr uint32_t FRUIT = 0xFF1E46D2u; // red
constexpr uint32_t PICTURE_FRAME = 0xFF1E3C5Au;

} // namespace

StlMesh::Image RoomScene::MakeParquet(int size) {
    // Oak planks, eight rows to a texture, two planks to a row, joints staggered row by row.
    StlMesh::Image image{size, size, std::vector<uint8_t>(size_t(size) * size_t(size) * 4)};
    const int rows = 8, row_height = size / rows, plank_length = size / 2;
    for (int y = 0; y < size; ++y) {
        const int row = y / row_height;
        const int shift = (row * plank_length * 3 / 8) % plank_length;
        for (int x = 0; x < size; ++x) {
            const int along = (x + shift) % size;
            const int plank = along / plank_length;
            const bool joint = y % row_height == 0 || along % plank_length == 0;
            const double tone = 0.82 + 0.3 * Hash(row, plank);
            const double grain = 0.93 + 0.07 * std::sin(0.9 * y + 6.0 * Hash(row, plank) + 0.03 * along) +
                                 0.04 * std::sin(0.021 * along + 1.7 * y);
            const double shade = joint ? 0.55 : tone * grain;
            Put(image, x, y, 190 * shade, 138 * shade, 88 * shade);
        }
    }
    return image;
}

StlMesh::Image RoomScene::MakePainting(int width, int height) {
    // A landscape: sky darkening upwards, a low sun, two ranges of hills and a lake.
    StlMesh::Image image{width, height, std::vector<uint8_t>(size_t(width) * size_t(height) * 4)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double u = (x + 0.5) / width, v = (y + 0.5) / height; // v down
            const double far_ridge = 0.45 + 0.08 * std::sin(7.0 * u + 1.0) + 0.04 * std::sin(19.0 * u);
            const double near_ridge = 0.58 + 0.06 * std::sin(5.0 * u + 3.0) + 0.03 * std::sin(23.0 * u + 1.0);
            const double sun = std::hypot(u - 0.7, (v - 0.3) * height / width);
            if (v > 0.75) {
                const double ripple = 0.9 + 0.1 * std::sin(120.0 * v + 8.0 * u);
                Put(image, x, y, 70 * ripple, 120 * ripple, 170 * ripple);
            } else if (v > near_ridge) {
                Put(image, x, y, 60 + 40 * Hash(x / 4, y / 4), 120 + 30 * v, 50);
            } else if (v > far_ridge) {
                Put(image, x, y, 90, 100, 140);
            } else if (sun < 0.07) {
                Put(image, x, y, 255, 230, 150);
            } else {
                const double glow = std::exp(-6.0 * sun);
                Put(image, x, y, 120 + 130 * v + 100 * glow, 160 + 80 * v + 50 * glow, 230 - 40 * glow);
            }
        }
    return image;
}

Scene RoomScene::Make() {
    Scene scene;
    constexpr double X = WIDTH / 2, Y = DEPTH / 2, Z = HEIGHT;
    constexpr double CELL = 500.0;
    // Window opening in the wall at y = +Y, and the wall's thickness shown in its reveal.
    constexpr double WINDOW_X = 900.0, SILL = 800.0, LINTEL = 2200.0, WALL_THICKNESS = 200.0;

    {
        ShapeWriter floor;
        floor.Wall({-X, -Y, 0}, {2 * X, 0, 0}, {0, 2 * Y, 0}, CELL);
        SceneObject& object = scene.AddMesh(floor.Take(), "floor", 0xFFFFFFFFu, false);
        const StlMesh::Image parquet = MakeParquet(512);
        object.texture = std::make_shared<IVTextureSoft>();
        object.texture->SetImage(parquet.width, parquet.height, parquet.rgba.data(), parquet.rgba.size());
        // Rows of planks run along x; one texture copy covers a square metre.
        object.texture_plane = TexturePlane{{-X, Y, 0}, {1, 0, 0}, {0, -1, 0}, 2 * X, 2 * Y, 1000.0, 1000.0};
    }
    {
        ShapeWriter walls;
        walls.Wall({-X, -Y, Z}, {0, 2 * Y, 0}, {2 * X, 0, 0}, CELL); // ceiling, facing down
        scene.AddMesh(walls.Take(), "ceiling", CEILING, false);
    }
    {
        ShapeWriter walls;
        walls.Wall({X, -Y, 0}, {-2 * X, 0, 0}, {0, 0, Z}, CELL); // y = -Y, facing +y
        walls.Wall({X, Y, 0}, {0, -2 * Y, 0}, {0, 0, Z}, CELL);  // x = +X, facing -x
        // The window wall, facing -y, around its opening, and the opening's reveal.
        walls.Wall({WINDOW_X, Y, 0}, {X - WINDOW_X, 0, 0}, {0, 0, Z}, CELL);
        walls.Wall({-X, Y, 0}, {X - WINDOW_X, 0, 0}, {0, 0, Z}, CELL);
        walls.Wall({-WINDOW_X, Y, 0}, {2 * WINDOW_X, 0, 0}, {0, 0, SILL}, CELL);
        walls.Wall({-WINDOW_X, Y, LINTEL}, {2 * WINDOW_X, 0, 0}, {0, 0, Z - LINTEL}, CELL);
        walls.Grid({-WINDOW_X, Y, SILL}, {2 * WINDOW_X, 0, 0}, {0, WALL_THICKNESS, 0}, 4, 1);
        walls.Grid({-WINDOW_X, Y + WALL_THICKNESS, LINTEL}, {2 * WINDOW_X, 0, 0}, {0, -WALL_THICKNESS, 0}, 4,
                   1);
        walls.Grid({-WINDOW_X, Y, SILL}, {0, WALL_THICKNESS, 0}, {0, 0, LINTEL - SILL}, 1, 3);
        walls.Grid({WINDOW_X, Y + WALL_THICKNESS, SILL}, {0, -WALL_THICKNESS, 0}, {0, 0, LINTEL - SILL}, 1,
                   3);
        scene.AddMesh(walls.Take(), "walls", WALL, false);
    }
    {
        ShapeWriter wall;
        wall.Wall({-X, -Y, 0}, {0, 2 * Y, 0}, {0, 0, Z}, CELL); // x = -X, facing +x: the picture's wall
        scene.AddMesh(wall.Take(), "accent wall", ACCENT_WALL, false);
    }
    {
        // Frame and mullion in the middle of the wall's thickness; the two panes within.
        constexpr double FRAME = 60.0, FRAME_Y = Y + 80.0, FRAME_DEPTH = 60.0;
        ShapeWriter frame;
        frame.Box({-WINDOW_X, FRAME_Y, SILL}, {WINDOW_X, FRAME_Y + FRAME_DEPTH, SILL + FRAME});
        frame.Box({-WINDOW_X, FRAME_Y, LINTEL - FRAME}, {WINDOW_X, FRAME_Y + FRAME_DEPTH, LINTEL});
        frame.Box({-WINDOW_X, FRAME_Y, SILL + FRAME},
                  {-WINDOW_X + FRAME, FRAME_Y + FRAME_DEPTH, LINTEL - FRAME});
        frame.Box({WINDOW_X - FRAME, FRAME_Y, SILL + FRAME},
                  {WINDOW_X, FRAME_Y + FRAME_DEPTH, LINTEL - FRAME});
        frame.Box({-FRAME / 2, FRAME_Y, SILL + FRAME}, {FRAME / 2, FRAME_Y + FRAME_DEPTH, LINTEL - FRAME});
        scene.AddMesh(frame.Take(), "window frame", WHITE_PAINT, false);
        for (const double side : {-1.0, 1.0}) {
            ShapeWriter pane;
            const double inner = FRAME / 2, outer = WINDOW_X - FRAME;
            pane.Box({side < 0 ? -outer : inner, FRAME_Y + 25.0, SILL + FRAME},
                     {side < 0 ? -inner : outer, FRAME_Y + 35.0, LINTEL - FRAME});
            scene.AddMesh(pane.Take(), side < 0 ? "left pane" : "right pane", GLASS, true);
        }
    }
    {
        // What the window looks out on.
        ShapeWriter sky, lawn;
        sky.Grid({-3 * X, 3 * Y, -300}, {6 * X, 0, 0}, {0, 0, 4 * Z}, 12, 4);
        lawn.Grid({-3 * X, Y + WALL_THICKNESS, -300}, {6 * X, 0, 0}, {0, 2 * Y - WALL_THICKNESS, 0}, 12, 4);
        scene.AddMesh(sky.Take(), "sky", SKY, false);
        scene.AddMesh(lawn.Take(), "lawn", LAWN, false);
    }
    {
        // Coffee table: a glass top on four steel legs, a bowl of fruit on it, in front of the sofa.
        constexpr double TOP = 420.0, LEFT = -600.0, RIGHT = 600.0, FRONT = -1050.0, BACK = -450.0;
        ShapeWriter legs;
        for (const double x : {LEFT + 60, RIGHT - 60})
            for (const double y : {FRONT + 60, BACK - 60})
                legs.Frustum({x, y, 0}, 20, 20, TOP - 12, 16, true);
        scene.AddMesh(legs.Take(), "table legs", STEEL, false);
        ShapeWriter top;
        top.Box({LEFT, FRONT, TOP - 12}, {RIGHT, BACK, TOP});
        scene.AddMesh(top.Take(), "table top", TABLE_GLASS, true);
        ShapeWriter fruit;
        fruit.Sphere({150, -760, TOP + 60}, 60, 24, 12);
        fruit.Sphere({260, -700, TOP + 55}, 55, 24, 12);
        fruit.Sphere({200, -850, TOP + 50}, 50, 24, 12);
        scene.AddMesh(fruit.Take(), "fruit", FRUIT, false);
    }
    {
        ShapeWriter sofa;
        sofa.Box({-1100, -Y + 50, 0}, {1100, -Y + 900, 420});
        sofa.Box({-1100, -Y + 50, 420}, {1100, -Y + 250, 850});
        sofa.Box({-1100, -Y + 250, 420}, {-930, -Y + 900, 620});
        sofa.Box({930, -Y + 250, 420}, {1100, -Y + 900, 620});
        scene.AddMesh(sofa.Take(), "sofa", SOFA, false);
    }
    {
        // Bookshelf on the wall at x = +X: two sides, five boards, books in four colours.
        constexpr double FRONT = X - 330, BACK = X - 20, HALF = 800.0, TOP = 2000.0;
        ShapeWriter shelf;
        shelf.Box({FRONT, -HALF, 0}, {BACK, -HALF + 25, TOP});
        shelf.Box({FRONT, HALF - 25, 0}, {BACK, HALF, TOP});
        for (int board = 0; board < 5; ++board) {
            const double z = board * (TOP - 25) / 4;
            shelf.Box({FRONT, -HALF + 25, z}, {BACK, HALF - 25, z + 25});
        }
        scene.AddMesh(shelf.Take(), "bookshelf", WALNUT, false);
        const uint32_t book_colours[] = {Colour(170, 40, 40), Colour(40, 70, 150), Colour(220, 180, 60),
                                         Colour(60, 130, 90)};
        for (int colour = 0; colour < 4; ++colour) {
            ShapeWriter books;
            for (int board = 0; board < 4; ++board) {
                double y = -HALF + 40;
                for (int book = 0; y < HALF - 80; ++book) {
                    const double thickness = 30 + 30 * Hash(board, book);
                    const double height = 220 + 150 * Hash(book, board + 7);
                    const double z = board * (TOP - 25) / 4 + 25;
                    // A gap now and then, so the shelves do not look packed.
                    if (int(Hash(board * 31, book) * 4) == colour && Hash(book, board * 17) > 0.1)
                        books.Box({FRONT + 40 + 40 * Hash(book, board), y, z},
                                  {BACK - 20, y + thickness, z + height});
                    y += thickness + 2;
                }
            }
            scene.AddMesh(books.Take(), "books", book_colours[colour], false);
        }
    }
    {
        ShapeWriter lamp, shade;
        lamp.Frustum({-X + 400, -Y + 400, 0}, 180, 160, 30, 32, true);
        lamp.Frustum({-X + 400, -Y + 400, 30}, 15, 15, 1500, 12, true);
        scene.AddMesh(lamp.Take(), "lamp stand", STEEL, false);
        shade.Frustum({-X + 400, -Y + 400, 1450}, 260, 170, 320, 40, false);
        scene.AddMesh(shade.Take(), "lamp shade", LAMP_SHADE, false);
    }
    {
        ShapeWriter pot, leaves;
        pot.Frustum({X - 450, Y - 450, 0}, 170, 220, 420, 32, true);
        scene.AddMesh(pot.Take(), "pot", TERRACOTTA, false);
        leaves.Sphere({X - 450, Y - 450, 800}, 380, 32, 16);
        scene.AddMesh(leaves.Take(), "plant", LEAVES, false);
    }
    {
        // The picture: a canvas with its texture mapped per corner, in a walnut frame.
        constexpr double FACE = -X + 30, LEFT = -700, RIGHT = 700, BOTTOM = 1100, TOP = 2000, BORDER = 60;
        ShapeWriter canvas;
        // A grid of small pieces: the panoramic device's shading follows each piece's own plane.
        canvas.Grid({FACE, LEFT, BOTTOM}, {0, RIGHT - LEFT, 0}, {0, 0, TOP - BOTTOM}, 12, 8);
        StlMesh mesh = canvas.Take();
        mesh.texture = std::make_shared<const StlMesh::Image>(MakePainting(384, 256));
        // u runs along the wall, v down from the picture's top edge.
        for (const auto& triangle : mesh.triangles) {
            std::array<float, 6> coordinates{};
            for (int corner = 0; corner < 3; ++corner) {
                const auto& point = mesh.points[triangle[corner]];
                coordinates[corner] = float((point[1] - LEFT) / (RIGHT - LEFT));
                coordinates[3 + corner] = float((TOP - point[2]) / (TOP - BOTTOM));
            }
            mesh.texture_coordinates.push_back(coordinates);
        }
        scene.AddMesh(mesh, "picture", 0xFFFFFFFFu, false);
        ShapeWriter frame;
        frame.Box({-X, LEFT - BORDER, BOTTOM - BORDER}, {FACE + 10, RIGHT + BORDER, BOTTOM});
        frame.Box({-X, LEFT - BORDER, TOP}, {FACE + 10, RIGHT + BORDER, TOP + BORDER});
        frame.Box({-X, LEFT - BORDER, BOTTOM}, {FACE + 10, LEFT, TOP});
        frame.Box({-X, RIGHT, BOTTOM}, {FACE + 10, RIGHT + BORDER, TOP});
        scene.AddMesh(frame.Take(), "picture frame", PICTURE_FRAME, false);
    }
    return scene;
}
