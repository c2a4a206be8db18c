#pragma once
// RecordingRender: a device that draws nothing and records, in order, the calls a test cares
// about: state changes (transparency bracket, z-buffer, back faces, transforms, mementos) and
// every primitive the device's streams replay. State itself is still kept by IVRender, so a test
// can read it back as well.
#include "host/render/IVRender.h"

#include <array>
#include <string>
#include <vector>

class RecordingRender : public IVRender {
public:
    struct Triangle {
        std::array<float, 3> a, b, c, normal;
        unsigned long colour;
        bool has_colour;
    };
    struct Line {
        std::array<float, 6> points;
    };

    std::vector<std::string> calls;
    std::vector<Triangle> triangles;
    std::vector<Line> lines;
    std::vector<std::array<float, 16>> object_world_matrices;
    std::vector<MMaterial> restored_materials;
    std::vector<EMemoType> restored_types;

    using IVRender::_Transform;

    bool DrawTextureRect(const float*, const float*, const float*, IVTexture*) override {
        calls.push_back("DrawTextureRect");
        return false;
    }
    void DrawQuad(const float*, const float*, const float*, const float*, const float*, const float*, const float*,
                  const float*, const float*, IVTexture&) override {
        calls.push_back("DrawQuad");
    }
    void EnableZBuffer(bool test, bool write) override {
        calls.push_back(std::string("EnableZBuffer(") + (test ? "1," : "0,") + (write ? "1)" : "0)"));
        IVRender::EnableZBuffer(test, write);
    }
    void SetTransformObjectWorld(const float* matrix) override {
        calls.push_back("SetTransformObjectWorld");
        std::array<float, 16> copy;
        std::copy(matrix, matrix + 16, copy.begin());
        object_world_matrices.push_back(copy);
        IVRender::SetTransformObjectWorld(matrix);
    }
    void StartTransparency(bool sorted) override {
        calls.push_back(std::string("StartTransparency(") + (sorted ? "1)" : "0)"));
        IVRender::StartTransparency(sorted);
    }
    void EndTransparency() override {
        calls.push_back("EndTransparency");
        IVRender::EndTransparency();
    }
    void CreateMemento(Memento& memento) const override {
        const_cast<RecordingRender*>(this)->calls.push_back("CreateMemento");
        IVRender::CreateMemento(memento);
    }
    void RestoreMemento(const Memento& memento, EMemoType type) override {
        calls.push_back("RestoreMemento(" + std::to_string(int(type)) + ")");
        restored_materials.push_back(memento.GetMaterial());
        restored_types.push_back(type);
        IVRender::RestoreMemento(memento, type);
    }

protected:
    void _OnSetBackfaceVisible() override {
        calls.push_back(std::string("SetBackfaceVisible(") + (mb_backface_visible ? "1)" : "0)"));
    }
    void _DrawTriangle(const float* a, const float* b, const float* c, const float* normal,
                       unsigned long colour) override {
        triangles.push_back({{a[0], a[1], a[2]}, {b[0], b[1], b[2]}, {c[0], c[1], c[2]},
                             {normal[0], normal[1], normal[2]}, colour, true});
    }
    void _DrawTriangle(const float* a, const float* b, const float* c, const float* normal) override {
        triangles.push_back({{a[0], a[1], a[2]}, {b[0], b[1], b[2]}, {c[0], c[1], c[2]},
                             {normal[0], normal[1], normal[2]}, mn_current_colour, false});
    }
    void _DrawLine(float x0, float y0, float z0, float x1, float y1, float z1, unsigned long) override {
        lines.push_back({{x0, y0, z0, x1, y1, z1}});
    }
    void _DrawLine(float x0, float y0, float z0, float x1, float y1, float z1) override {
        lines.push_back({{x0, y0, z0, x1, y1, z1}});
    }
    void _DrawPoint(float, float, float, float, float, float) override {}
    void _DrawPoint(float, float, float, unsigned long) override {}
    void _DrawPoint(float, float, float) override {}

public:
    void DrawTriangle(const float* a, const float* b, const float* c, const float* normal, const float*) override {
        _DrawTriangle(a, b, c, normal);
    }
    void DrawTriangle(const float* a, const float* b, const float* c, const float* normal) override {
        _DrawTriangle(a, b, c, normal);
    }
    void DrawLine(float x0, float y0, float z0, float x1, float y1, float z1, const float*) override {
        _DrawLine(x0, y0, z0, x1, y1, z1);
    }
    void DrawLine(float x0, float y0, float z0, float x1, float y1, float z1) override {
        _DrawLine(x0, y0, z0, x1, y1, z1);
    }
    void DrawPoint(float, float, float) override {}
    void DrawPoints(const float*, unsigned int) override {}
};
