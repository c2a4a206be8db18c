#pragma once
// IVRenderEx: screen-space helpers for the host's render devices and views.
//
// - RenderTriangles draws position-normal triangles held in a deque through the device given at
//   construction. Positions and normals are in the device's object frame (its current
//   object-to-world transform applies); three consecutive vertices make a triangle, drawn with
//   its first vertex's normal on all three corners. It sets the device's back-face flag (which
//   stays set) and takes a stream from the device for the length of the call only.
// - GetBoundingBox reads a scene object's box (x min, x max, y min, y max, z min, z max, in the
//   object's own coordinate system) without presetting it. The two
//   Get3DPointInWindowCoordinates project points given in the object's own coordinate system
//   into the 3D window: to pixels (x right, y down, rounded half away from zero) or to window
//   coordinates as doubles (x, y in pixels, z the window depth). They go through the application's
//   transform repository (MTransformRepository::mgp_instance must be set).
// - The static GDI helpers draw 2D overlays on a device context: embossed (disabled) and outlined
//   text, fonts sized in millimetres, millimetre/pixel conversion at the context's LOGPIXELSX/Y
//   resolution (25.4 mm to the inch; millimetres as float, pixels as long), normalised focus
//   rectangles and bold arrows on a background patch. Rectangles and points are pixels of the
//   context. Each deletes the GDI objects it creates and restores the text colour, background
//   mode, pen and brush it changes.
// - CBoundingBox (IVRenderExCBoundingBox.h) is the on-screen box gizmo.
//
// Call order: construct with a device, then RenderTriangles between the device's StartFrame and
// StopFrame, as often as wanted; the static helpers need no object. Draw3dBorder is the one
// virtual hook, for derived classes; here it does nothing.
//
// Ownership: the device, objects, windows and device contexts are borrowed, never freed; copies
// share the device. Threading: everything runs on the caller's thread; nothing is locked, and a
// device must not be drawn on from two threads.
#include "host/framework/M3DBoundingBox.h"
#include "host/math/MMPoint3d.h"
#include "host/mesh/M3dBorder.h"
#include "host/render/IVVertex.h"
#include "host/win32/CDC.h"
#include "host/win32/CFont.h"
#include "host/win32/CPoint.h"
#include "host/win32/CRect.h"
#include "host/win32/Windef.h"
#include "module/VantrelExport.h"

#include <cstdint>
#include <deque>

class IVRender;
class UIObject;
class UIWnd3D;

class VANTREL_API IVRenderEx {
public:
    class CBoundingBox;

    explicit IVRenderEx(IVRender* render);
    IVRenderEx(const IVRenderEx& other);
    IVRenderEx& operator=(const IVRenderEx& other) = default;
    ~IVRenderEx();

    virtual void Draw3dBorder(M3dBorderFloat& border);

    // Triangles of three consecutive vertices, each drawn with its first vertex's normal on all
    // three corners; one or two vertices left over at the end are ignored. The last flag is unused.
    void RenderTriangles(std::deque<IVVertexPN>& vertices, bool backfaceVisible, bool);

    // The object's box, read with all parts selected; values the object does not set are kept.
    static void GetBoundingBox(M3DBoundingBox<float>& box, UIObject* object);
    // Projects `count` points of the object's coordinate system into window pixels (rounded half
    // away from zero), or window coordinates as doubles. False at the first point that cannot be
    // projected: outputs before it are written, later ones untouched. False, writing nothing, for a
    // null object or window, or null arrays with a non-zero count.
    static bool Get3DPointInWindowCoordinates(CPoint* out, const MMPoint3d<double>* in, UIObject* object,
                                              UIWnd3D* window, uint64_t count);
    static bool Get3DPointInWindowCoordinates(MMPoint3d<double>* out, const MMPoint3d<double>* in,
                                              UIObject* object, UIWnd3D* window, uint64_t count);

    // --- GDI helpers ---
    // Draws once when enabled; otherwise embossed, in the 3D highlight colour one pixel down-right
    // and in the 3D shadow colour on top. A count of -1 means the whole (terminated) text.
    static int DrawTextDisabled(HDC dc, const wchar_t* text, int count, const CRect& rect,
                                unsigned int format, int enabled);
    // The text on a halo `thickness` pixels wide in the background colour.
    static void DrawTextOutlined(HDC dc, unsigned int thickness, const wchar_t* text, const RECT& rect,
                                 unsigned int format);
    // Replaces the font's object with `logFont` at a height in millimetres (at most 0.00034526698:
    // the LOGFONTW's own lfHeight, read as millimetres).
    static void CreateGdiFont(CFont& font, HDC dc, const LOGFONTW& logFont, float heightMm);
    static long ConvertMmToPointsInX(HDC dc, float millimetres);
    static long ConvertMmToPointsInY(HDC dc, float millimetres);
    static float ConvertPointsToMmInX(HDC dc, long pixels);
    static float ConvertPointsToMmInY(HDC dc, long pixels);
    // A focus rectangle for reversed or empty rectangles too (an empty one gets one pixel).
    static void DrawFocusRectNormalized(CDC& dc, const CRect& rect);
    // A filled arrow in the text colour from `from` to its tip at `to`, on a background-coloured
    // patch 0.3 mm wider; with a clip rectangle, shifted to stay inside it.
    static void DrawBoldArrow(CDC& dc, CPoint from, CPoint to, const CRect* clip);

    IVRender* mp_render;
};

#include "screen/IVRenderExCBoundingBox.h"
