#pragma once
// RecordingStream: a vertex stream that remembers every call, in order, with its vertices.
// RecordingStreamSource hands such streams to a device (IVRender::SetVertexStreamSource) and keeps
// a log shared by all of them, so a test can see what a container streamed and when. Exposed opens
// a container's stream fill, and Optimise runs it into a recording stream of its own.
#include "host/render/IIVVertexStream.h"
#include "host/render/IVVertexStreamSource.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

template <class V> struct RecordedStreamLog {
    std::vector<std::string> calls; // "BeginTriangles", "AddTriangle", "End", "Render", "~"
    std::vector<V> vertices;        // every vertex added, in order
    int streams_created = 0;
    int streams_destroyed = 0;
    std::vector<std::string>* echo = nullptr; // when set, calls are also appended here (a device's log)
    bool throw_on_add = false;                // AddTriangle throws std::length_error, as a full stream might
};

template <class V> class RecordingStream final : public IIVVertexStream<V> {
public:
    explicit RecordingStream(
        std::shared_ptr<RecordedStreamLog<V>> log = std::make_shared<RecordedStreamLog<V>>())
        : mp_log(std::move(log)) {
        ++mp_log->streams_created;
    }
    ~RecordingStream() override {
        _Call("~");
        ++mp_log->streams_destroyed;
    }
    void BeginTriangles() override { _Call("BeginTriangles"); }
    void BeginLines() override { _Call("BeginLines"); }
    void End() override { _Call("End"); }
    void AddTriangle(const V& a, const V& b, const V& c) override {
        _Call("AddTriangle");
        if (mp_log->throw_on_add)
            throw std::length_error("stream full");
        mp_log->vertices.insert(mp_log->vertices.end(), {a, b, c});
    }
    void AddLine(const V& a, const V& b) override {
        _Call("AddLine");
        mp_log->vertices.insert(mp_log->vertices.end(), {a, b});
    }
    void Render(IVRender&) override { _Call("Render"); }

    const RecordedStreamLog<V>& Log() const { return *mp_log; }

private:
    void _Call(const char* name) {
        mp_log->calls.push_back(name);
        if (mp_log->echo != nullptr)
            mp_log->echo->push_back(name);
    }

    std::shared_ptr<RecordedStreamLog<V>> mp_log;
};

class RecordingStreamSource final : public IVVertexStreamSource {
public:
    std::shared_ptr<RecordedStreamLog<IVVertexP>> p = std::make_shared<RecordedStreamLog<IVVertexP>>();
    std::shared_ptr<RecordedStreamLog<IVVertexPN>> pn = std::make_shared<RecordedStreamLog<IVVertexPN>>();
    std::shared_ptr<RecordedStreamLog<IVVertexPNC>> pnc = std::make_shared<RecordedStreamLog<IVVertexPNC>>();
    std::shared_ptr<RecordedStreamLog<IVVertexPNT>> pnt = std::make_shared<RecordedStreamLog<IVVertexPNT>>();

    std::unique_ptr<IIVVertexStream<IVVertexP>> CreateStream(const IVVertexP*) override {
        return std::make_unique<RecordingStream<IVVertexP>>(p);
    }
    std::unique_ptr<IIVVertexStream<IVVertexPN>> CreateStream(const IVVertexPN*) override {
        return std::make_unique<RecordingStream<IVVertexPN>>(pn);
    }
    std::unique_ptr<IIVVertexStream<IVVertexPNC>> CreateStream(const IVVertexPNC*) override {
        return std::make_unique<RecordingStream<IVVertexPNC>>(pnc);
    }
    std::unique_ptr<IIVVertexStream<IVVertexPNT>> CreateStream(const IVVertexPNT*) override {
        return std::make_unique<RecordingStream<IVVertexPNT>>(pnt);
    }
};

template <class Container> class Exposed : public Container {
public:
    using Container::_Optimise;
    using Container::Container;
};

template <class V, class Owner> V StreamedVertex(void (Owner::*)(IIVVertexStream<V>&));

template <class Container> auto Optimise(Container& container) {
    RecordingStream<decltype(StreamedVertex(&Container::_Optimise))> stream;
    container._Optimise(stream);
    return stream.Log();
}
