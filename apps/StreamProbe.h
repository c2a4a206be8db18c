#pragma once
// StreamProbe: the device's vertex-stream source during a frame (IVRender::SetVertexStreamSource).
// It hands out the render library's own buffered streams, and for the position-normal-colour
// streams (the transparency cache's container is the only user) notes when one is filled and
// when it starts drawing. The cache fills its stream again exactly when it has sorted (it drops
// the stream after every sort), so a fill tells a sorted frame from a skipped one, and the two
// times split the cache's pass into its sort part and its draw part.
//
// SetDrawThrough(device) makes the colour streams draw each triangle on `device` as it is added
// and keep nothing, for frames in which the cache sorts (and so fills again) every time: the
// stream's store and replay then cost nothing. The caller must make sure the cache does not
// replay such a stream in a later frame (ForceReSort); null (the default) keeps them buffered.
//
// Reset before each frame; read after. Single-threaded, like the device it serves.
#include "host/render/IVVertexStreamSource.h"

#include <chrono>
#include <optional>

class IVRender;

class StreamProbe : public IVVertexStreamSource {
public:
    using Clock = std::chrono::steady_clock;

    void SetDrawThrough(IVRender* device) { mp_through_device = device; }
    IVRender* GetDrawThrough() const { return mp_through_device; }

    void Reset() {
        mn_fills = 0;
        mo_first_event.reset();
    }
    // Colour streams filled since Reset.
    int GetNumFills() const { return mn_fills; }
    // The first fill or replay of a colour stream since Reset: where the cache's sorting ended.
    const std::optional<Clock::time_point>& GetFirstEvent() const { return mo_first_event; }

    std::unique_ptr<IIVVertexStream<IVVertexP>> CreateStream(const IVVertexP* tag) override;
    std::unique_ptr<IIVVertexStream<IVVertexPN>> CreateStream(const IVVertexPN* tag) override;
    std::unique_ptr<IIVVertexStream<IVVertexPNC>> CreateStream(const IVVertexPNC* tag) override;
    std::unique_ptr<IIVVertexStream<IVVertexPNT>> CreateStream(const IVVertexPNT* tag) override;

    void _Note(bool fill) {
        if (fill)
            ++mn_fills;
        if (!mo_first_event)
            mo_first_event = Clock::now();
    }

private:
    IVRender* mp_through_device = nullptr; // borrowed
    int mn_fills = 0;
    std::optional<Clock::time_point> mo_first_event;
};
