#pragma once
// IVSoftRasterizer: the software device's rasterizer. It fills triangles, lines and points given
// in raster coordinates (x to the right and y downwards in pixels of the display surface, plus a
// depth) into an IVDisplaySurfaceSoft.
//
// Conventions:
// - Pixel (px, py) is sampled at its centre (px + 0.5, py + 0.5). Triangles snap their corners
//   to 1/256 pixel and are filled by exact integer edge functions with a top-left style rule, so
//   a pixel on an edge shared by two triangles is filled by exactly one of them.
// - Depth: larger is nearer (see IVDisplaySurfaceSoft). With the depth test on, a pixel is kept
//   when its depth is strictly greater than the stored one (a tie keeps the stored pixel); with
//   depth writing on, its depth is stored.
// - Shading (triangles only, while shading is on): two lights fixed in raster space, both
//   two-sided (the normal is first turned towards the viewer, +depth): a key light from the
//   upper left and in front, and a weaker fill light from the upper right. The light is
//   1.32 x max(0, n.key) + 0.35 x max(0, n.fill), clamped to [0, 1] (a non-finite normal gives
//   0): a face turned straight to the viewer gets full light. Each channel is
//   quarter + (full - quarter) x light, so the quarter intensity is the ambient floor. Seen from
//   above and to one side, the three visible faces of a box get three clearly different tones.
//   Lines and points, and triangles while shading is off, use the full channels.
// - Textured triangles (RasterTriangleTextured) interpolate u / w, v / w and 1 / w linearly in
//   raster space (perspective-correct), sample the bound texture bilinearly with its addressing
//   (see IVTextureSoft) and scale the texel's red, green and blue by the shading, a quarter plus
//   three quarters of the light in steps of 1/256 (the texel as it is while shading is off); the
//   colour state's red, green and blue are not used. The texel's alpha is ignored: transparency
//   comes from the colour state's alpha.
// - Blending (while blending is on, which the device switches on for its transparency bracket):
//   out = (colour x alpha + stored x (255 - alpha) + 127) / 255 per channel (rounded to
//   nearest), alpha being the colour state's alpha byte; otherwise the pixel is overwritten with
//   alpha 255.
// - Clipping planes: raster plane k holds depth_k(x, y) = z0[k] + gx[k] x + gy[k] y at the pixel
//   centre. Side false discards a pixel whose depth is less than depth_k, side true one whose
//   depth is greater, so the half-space a x + b y + c depth + d >= 0 given to AddClippingPlane is
//   kept whatever the sign of c.
// - Primitives with a non-finite coordinate, corners farther than 2^20 pixels from the origin,
//   or zero snapped area are skipped. Lines are clipped to the surface before they are stepped.
//   FIXME: no guard band: a triangle with one corner beyond 2^20 pixels is dropped whole.
//
// Deferred, tiled drawing: each raster operation records the primitive with the state it needs
// (colour, blending, depth switches, the plane table, texture). When the pending work is
// flushed, the threads file runs of consecutive primitives into the 64 x 64 pixel tiles their
// bounds touch, then fill the tiles in parallel, each tile in submission order. Flushes happen: on Flush,
// when the surface changes or is read (every pixel and depth getter of IVDisplaySurfaceSoft flushes first),
// when the pending work grows past a fixed batch, and on destruction. Each pixel sees the same operations in
// the same order as an immediate rasterizer would, so images are identical for any thread count. The number
// of threads is the machine's, or VANTREL_THREADS (1 to 64) when set.
//
// The raster operations are virtual so that tests can record what a device hands over. Not
// thread-safe; owned by one device and called from one thread.
#include "host/render/soft/IVTextureSoft.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class IVDisplaySurfaceSoft;
class IVRasterThreadPool;

class IVSoftRasterizer {
public:
    IVSoftRasterizer();
    IVSoftRasterizer(const IVSoftRasterizer&) = delete;
    IVSoftRasterizer& operator=(const IVSoftRasterizer&) = delete;
    virtual ~IVSoftRasterizer();

    virtual void RasterTriangle(const float* ra, const float* rb, const float* rc, const float* normal);
    virtual void RasterLine(const float* ra, const float* rb);
    // mode: the side of the square of pixels drawn around the point; 0 and 1 draw one pixel,
    // 3 (the mode of point lists) a 3 x 3 square.
    virtual void RasterPoint(const float* rp, int mode);
    // A triangle textured with the bound texture (SetTexture). ta, tb, tc hold {u, v, w} per
    // corner: the texture coordinates and the corner's clip-space w (> 0 in front of the eye).
    // Without a bound texture, or with a w that is not positive and finite, it draws as
    // RasterTriangle.
    virtual void RasterTriangleTextured(const float* ra, const float* rb, const float* rc,
                                        const float* normal, const float* ta, const float* tb,
                                        const float* tc);

    // Copies the bound texture, sampled bilinearly with clamped addressing, into the pixels whose
    // centres lie inside the rectangle x0..x1, y0..y1 (rect = {x0, x1, y0, y1}); x0 maps to the
    // image's left edge and y0 to its top edge, so a reversed range mirrors the image. Pixels are
    // overwritten: no depth, no blending, no shading. Nothing without a texture or with a
    // non-finite or empty rectangle.
    void RasterTextureRect(const float* rect);

    // Writes the colour state from a colour word (byte 0 red ... byte 3 alpha).
    void SetColourWord(uint32_t colour);

    // Appends the raster plane a x + b y + c depth + d = 0 and returns its number.
    int AddClippingPlane(float a, float b, float c, float d);
    // Empties the plane table and clears mb_active.
    void ClearClippingPlanes();

    // Borrowed; null (the default) makes every raster operation draw nothing. Flushes the
    // pending work into the previous surface first.
    void SetSurface(IVDisplaySurfaceSoft* surface);
    IVDisplaySurfaceSoft* GetSurface() const { return mp_surface; }
    void SetDepthTest(bool test, bool write) {
        mb_depth_test = test;
        mb_depth_write = write;
    }
    void SetBlend(bool blend) { mb_blend = blend; }
    void SetShading(bool shading) { mb_shading = shading; }
    bool IsBlend() const { return mb_blend; }
    bool IsShading() const { return mb_shading; }
    // Borrowed; null unbinds. The texture is read when the tiles are filled (see IVTextureSoft).
    void SetTexture(const IVTextureSoft* texture) { mp_texture = texture; }
    const IVTextureSoft* GetTexture() const { return mp_texture; }

    // Fills the pending primitives into the surface and returns when they are all drawn.
    void Flush();
    // Threads used by Flush, 1 to 64 (clamped); the default is the machine's or VANTREL_THREADS.
    void SetThreadCount(int threads);
    int GetThreadCount() const { return mn_threads; }
    // The thread count from VANTREL_THREADS, or the machine's when unset or invalid.
    static int DefaultThreadCount();

    // The shading light (0 to 1) for a raster normal; see the conventions above.
    static float Light(const float* normal);

    // Colour state, in this order.
    uint32_t mn_red_quarter = 0;
    uint32_t mn_red = 0;
    uint32_t mn_green_quarter = 0;
    uint32_t mn_green = 0;
    uint32_t mn_blue_quarter = 0;
    uint32_t mn_blue = 0;
    uint8_t mn_alpha = 0;

    // Plane table, in this order; the four lists are parallel.
    bool mb_active = false;
    std::vector<float> mv_z0;
    std::vector<float> mv_gx;
    std::vector<float> mv_gy;
    std::vector<bool> mv_side;

private:
    friend class IVDisplaySurfaceSoft;

    enum class EKind : uint8_t { eTriangle, eTextured, eLine, ePoint, eRect };

    // One pending primitive with the state it was submitted under; one cache line.
    struct Command {
        float corner[3][3];
        float normal[3];
        EKind kind;
        uint8_t flags;   // FLAG_ bits
        uint8_t alpha;   // blending alpha
        uint8_t size;    // point square side
        uint32_t colour; // colour state number
        uint32_t planes; // plane set, 0 for none
        uint32_t extra;  // index into mv_textured for eTextured and eRect
    };
    static_assert(sizeof(Command) == 64, "one cache line per pending primitive");
    // The colour fields as a primitive saw them, and the shading switch.
    struct ColourState {
        uint32_t quarter[3];
        uint32_t full[3];
        bool shading;
        bool operator==(const ColourState&) const = default;
    };
    // The texture state of one textured triangle or rectangle.
    struct Textured {
        float texcoord[3][3]; // u, v, w per corner; a rectangle keeps x0, x1, y0, y1 in [0] and [1][0]
        const IVTextureSoft* texture;
        IVTextureSoft::EAddressing addressing;
    };
    // A snapshot of the plane table: count planes from first of mv_plane_values.
    struct PlaneSet {
        uint32_t first;
        uint32_t count;
    };
    // Pixel bounds, inclusive.
    struct Rect {
        int64_t left, top, right, bottom;
    };

    // Appends a command of `kind` with the current state; false when nothing can be drawn.
    Command* _Record(EKind kind);
    // Flushes once the pending work reaches a batch.
    void _AfterRecord();
    uint32_t _CurrentPlaneSet();
    uint32_t _CurrentColourState();
    // The pixels a command may touch, clamped to the surface; false when none.
    bool _Bounds(const Command& command, Rect& bounds) const;
    // The drawn colour of a command, and for textured triangles the texel scale in 1/256.
    uint32_t _Colour(const Command& command, uint32_t* light256) const;
    // Detaches from a surface that is going away, dropping its pending work.
    void _ForgetSurface();
    void _Reset();

    void _BinChunk(size_t chunk);
    void _FillTile(size_t tile);
    void _DrawTriangle(const Command& command, const Rect& tile);
    void _DrawLine(const Command& command, const Rect& tile);
    void _DrawPoint(const Command& command, const Rect& tile);
    void _DrawRect(const Command& command, const Rect& tile);
    // True when the pixel centre (x, y) at depth lies on the discarded side of a plane of set.
    bool _IsClipped(uint32_t set, float x, float y, float depth) const;
    // Depth test, depth write and colour write of one pixel at `index`.
    void _Plot(const Command& command, size_t index, float depth, uint32_t colour);

    IVDisplaySurfaceSoft* mp_surface = nullptr;
    const IVTextureSoft* mp_texture = nullptr;
    bool mb_depth_test = true;
    bool mb_depth_write = true;
    bool mb_blend = false;
    bool mb_shading = false;

    // Pending work, kept between frames so that a warm rasterizer does not allocate.
    // A batch of commands, allocated on first use and never initialised as a whole: only the
    // pages that pending work reaches are ever touched.
    std::unique_ptr<Command[]> mp_commands;
    size_t mn_commands = 0;
    std::vector<ColourState> mv_colour_states;
    std::vector<Textured> mv_textured;
    std::vector<PlaneSet> mv_plane_sets;
    std::vector<float> mv_plane_values; // z0, gx, gy, side (0 or 1) per plane
    // While flushing: command numbers per chunk and tile (chunk-major); each chunk is a run of
    // consecutive commands, so reading a tile's chunks in order keeps submission order.
    std::vector<std::vector<uint32_t>> mv_bins;
    std::vector<uint32_t> mv_busy_tiles;
    size_t mn_chunks = 1;
    int mn_tiles_x = 0;
    int mn_tiles_y = 0;
    int mn_threads = 1;
    std::unique_ptr<IVRasterThreadPool> mp_pool;
};
