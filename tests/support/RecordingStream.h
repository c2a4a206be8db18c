#pragma once
// RecordingStream: a vertex stream that remembers every call, in order, with its vertices.
// RecordingStreamSource hands such streams to a device (IVRender::SetVertexStreamSource) and keeps
// a log shared by all of them, so a test can see what a container streamed and when.
#include "host/render/IIVVertexStream.h"
#include "host/render/IVVertexStreamSource.h"

#include <memory>
#include <string>
#include <vector>

template <class V> struct RecordedStreamLog {
    std::vector<std::string> calls;     // "BeginTriangles", "AddTriangle", "End", "Render", "~"
    std::vector<V> vertices;            // every vertex added, in order
    int streams_created = 0;
    int streams_destroyed = 0;
};

template <class V> class RecordingStream final : public IIVVertexStream<V> {
public:
    explicit RecordingStream(std::shared_ptr<RecordedStreamLog<V>> log = std::make_shared<RecordedStreamLog<V>>())
        : mp_log(std::move(log)) {
        ++mp_log->streams_created;
    }
    ~RecordingStream() override {
        mp_log->calls.push_back("~");
        ++mp_log->streams_destroyed;
    }
    void BeginTriangles() override { mp_log->calls.push_back("BeginTriangles"); }
    void BeginLines() override { mp_log->calls.push_back("BeginLines"); }
    void End() override { mp_log->calls.push_back("End"); }
    void AddTriangle(const V& a, const V& b, const V& c) override {
        mp_log->calls.push_back("AddTriangle");
        mp_log->vertices.insert(mp_log->vertices.end(), {a, b, c});
    }
    void AddLine(const V& a, const V& b) override {
        mp_log->calls.push_back("AddLine");
        mp_log->vertices.insert(mp_log->vertices.end(), {a, b});
    }
    void Render(IVRender&) override { mp_log->calls.push_back("Render"); }

    const RecordedStreamLog<V>& Log() const { return *mp_log; }

private:
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
