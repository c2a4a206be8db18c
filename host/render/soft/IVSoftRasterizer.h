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
// Deferred, tiled, pipelined drawing: each raster operation records the primitive with the state
// it needs (colour, blending, depth switches, the plane table, texture) into the current batch
// and files its number under the 64 x 64 pixel tiles its bounds touch. With more than one
// thread, a batch goes to the other threads once it holds BATCH_PRIMITIVES (the first few after
// a flush sooner, see there); they fill its tiles while the caller records (and, in a device,
// transforms) into a second batch. Before handing over the next one the caller waits for that
// batch, taking its unfilled tiles itself meanwhile. Flush waits for the batch being filled,
// then fills the current one with all threads. Flushes happen: on Flush, when the surface
// changes or is read (every pixel and depth getter of IVDisplaySurfaceSoft, Clear and Resize
// flush first), on SetThreadCount and on destruction; a surface destroyed with work pending
// waits for the batch being filled and drops the rest. Each tile is filled with its primitives
// in submission order and batches are filled in order, so each pixel sees the same operations in
// the same order as an immediate rasterizer would and images are identical for any thread
// count. The number of threads is the machine's, or VANTREL_THREADS (1 to 64) when set; with 1
// nothing runs on another thread.
//
// A bound texture is sampled while its batch is filled, which may be as late as the next flush
// (at the latest the end of the frame): keep its image and addressing unchanged and the texture
// alive until then, as IVTextureSoft asks.
//
// The raster operations are virtual so that tests can record what a device hands over. Not
// thread-safe; owned by one device and called from one thread. The other threads read only a
// handed-over batch and write only the pixels of its tiles; every call that lets the caller see
// or change those pixels waits for them first.
#include "host/render/soft/IVRasterProducer.h"
#include "host/render/soft/IVTextureSoft.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class IVDisplaySurfaceSoft;
class IVRasterThreadPool;

class IVSoftRasterizer {
public:
    // Primitives per batch: at this many pending ones the work is handed over to the other
    // threads or, with one thread, filled. With more than one thread the first batch after a
    // flush is handed over at FIRST_BATCH_PRIMITIVES and each next one at twice the size of the
    // last, up to BATCH_PRIMITIVES: filling starts early in every frame, also in frames too small
    // to fill a batch, while large frames still go in large batches.
    static constexpr size_t BATCH_PRIMITIVES = size_t(1) << 16;
    static constexpr size_t FIRST_BATCH_PRIMITIVES = size_t(1) << 12;

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
        Settle();
        mb_depth_test = test;
        mb_depth_write = write;
    }
    void SetBlend(bool blend) {
        Settle();
        mb_blend = blend;
    }
    void SetShading(bool shading) {
        Settle();
        mb_shading = shading;
    }
    bool IsBlend() const { return mb_blend; }
    bool IsShading() const { return mb_shading; }
    // Borrowed; null unbinds. The texture is read when the tiles are filled (see IVTextureSoft).
    void SetTexture(const IVTextureSoft* texture) {
        Settle();
        mp_texture = texture;
    }
    const IVTextureSoft* GetTexture() const { return mp_texture; }

    // Fills the pending primitives into the surface and returns when they are all drawn.
    void Flush();

    // Borrowed; null (the default) for none. The producer tells HoldsWork when it starts holding
    // primitives back (and HoldsWork(false) while it hands some over itself); every raster
    // operation, state setter, Flush and surface read then has it hand them over first (Settle).
    // The colour and plane fields above are read as they are.
    void SetProducer(IVRasterProducer* producer) {
        Settle();
        mp_producer = producer;
    }
    IVRasterProducer* GetProducer() const { return mp_producer; }
    void HoldsWork(bool holds = true);
    // Has the producer hand over what it holds, if anything.
    void Settle() {
        if (mb_producer_holds)
            _TakeHeldWork();
    }
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
        uint32_t extra;  // index into the batch's textured records for eTextured and eRect
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
    // A snapshot of the plane table: count planes from first of plane_values.
    struct PlaneSet {
        uint32_t first;
        uint32_t count;
    };
    // Pixel bounds, inclusive.
    struct Rect {
        int64_t left, top, right, bottom;
    };
    // Pending work for one surface: everything a fill reads, so that one batch can be filled by
    // other threads while the caller records into another. Kept between frames so that a warm
    // rasterizer does not allocate. Cache-line aligned: the caller writes the recording batch's
    // fields for every primitive, which must not evict the lines the fill keeps reading.
    struct alignas(64) Batch {
        // Allocated on first use and never initialised as a whole: only the pages that pending
        // work reaches are ever touched.
        std::unique_ptr<Command[]> commands;
        size_t count = 0;
        IVDisplaySurfaceSoft* surface = nullptr; // set with the first command
        int tiles_x = 0;
        int tiles_y = 0;
        std::vector<ColourState> colour_states;
        std::vector<Textured> textured;
        std::vector<PlaneSet> plane_sets{{0, 0}}; // set 0 is the empty set
        std::vector<float> plane_values;          // z0, gx, gy, side (0 or 1) per plane
        // Command numbers per tile in submission order; the tiles with any, in first-use order.
        std::vector<std::vector<uint32_t>> bins;
        std::vector<uint32_t> busy_tiles;
    };

    // Appends a command of `kind` with the current state; null when nothing can be drawn.
    Command* _Record(EKind kind);
    // Files the command just completed under its tiles (or drops it when it touches none) and
    // hands over the batch once it is full.
    void _AfterRecord();
    uint32_t _CurrentPlaneSet(Batch& batch);
    uint32_t _CurrentColourState(Batch& batch);
    // Waits for the batch the other threads are filling, if any, and empties it.
    void _WaitHandedOver();
    // Fills the recording batch on the calling thread, or with the whole pool when it pays.
    void _FillHere(bool parallel);
    // Detaches from a surface that is going away, dropping its pending work.
    void _ForgetSurface();
    IVRasterThreadPool& _Pool();
    void _TakeHeldWork();
    // Makes this rasterizer the one the surface flushes before it is read (another's work first).
    void _ClaimSurface(IVDisplaySurfaceSoft* surface);

    // The fill side: reads only the batch and writes only its surface's pixels of the tile.
    // The pixels a command may touch, clamped to the surface; false when none.
    static bool _Bounds(const Batch& batch, const Command& command, Rect& bounds);
    // The drawn colour of a command, and for textured triangles the texel scale in 1/256.
    static uint32_t _Colour(const Batch& batch, const Command& command, uint32_t* light256);
    static void _Empty(Batch& batch);
    static void _FillJob(void* batch, size_t index);
    static void _FillTile(const Batch& batch, size_t tile);
    static void _DrawTriangle(const Batch& batch, const Command& command, const Rect& tile);
    static void _DrawLine(const Batch& batch, const Command& command, const Rect& tile);
    static void _DrawPoint(const Batch& batch, const Command& command, const Rect& tile);
    static void _DrawRect(const Batch& batch, const Command& command, const Rect& tile);
    // True when the pixel centre (x, y) at depth lies on the discarded side of a plane of set.
    static bool _IsClipped(const Batch& batch, uint32_t set, float x, float y, float depth);
    // Depth test, depth write and colour write of one pixel at `index`.
    static void _Plot(const Batch& batch, const Command& command, size_t index, float depth, uint32_t colour);

    IVDisplaySurfaceSoft* mp_surface = nullptr;
    const IVTextureSoft* mp_texture = nullptr;
    IVRasterProducer* mp_producer = nullptr;
    bool mb_producer_holds = false;
    bool mb_depth_test = true;
    bool mb_depth_write = true;
    bool mb_blend = false;
    bool mb_shading = false;

    // mo_batches[mn_recording] records; the other one is being filled while mb_handed_over.
    Batch mo_batches[2];
    static_assert(sizeof(Batch) % 64 == 0, "the batches share no cache line");
    int mn_recording = 0;
    bool mb_handed_over = false;
    size_t mn_handover; // the size at which the recording batch is handed over
    int mn_threads = 1;
    // Declared last: destroyed first, after any run it has under way.
    std::unique_ptr<IVRasterThreadPool> mp_pool;
};
