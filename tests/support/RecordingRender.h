#pragma once
// RecordingRender: a device that draws nothing and records, in order, the calls a test cares
// about: state changes (transparency bracket, z-buffer, back faces, transforms, mementos). Of the
// primitives it is handed it counts the triangles. State itself is still kept by IVRender, so a
// test can read it back as well.
#include "host/render/IVRender.h"

#include <array>
#include <string>
#include <vector>

class RecordingRender : public IVRender {
public:
    std::vector<std::string> calls;
    int triangles = 0; // drawn, whichever the entry
    std::vector<std::array<float, 16>> object_world_matrices;
    std::vector<MMaterial> restored_materials;

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
        IVRender::RestoreMemento(memento, type);
    }
    void DrawTriangle(const float*, const float*, const float*, const float*, const float*) override {
        ++triangles;
    }
    void DrawTriangle(const float*, const float*, const float*, const float*) override { ++triangles; }
    void DrawLine(float, float, float, float, float, float, const float*) override {}
    void DrawLine(float, float, float, float, float, float) override {}
    void DrawPoint(float, float, float) override {}
    void DrawPoints(const float*, unsigned int) override {}
    void DrawQuad(const float*, const float*, const float*, const float*, const float*, const float*,
                  const float*, const float*, const float*, IVTexture&) override {}
    bool DrawTextureRect(const float*, const float*, const float*, IVTexture*) override { return false; }

protected:
    void _OnSetBackfaceVisible() override {
        calls.push_back(std::string("SetBackfaceVisible(") + (mb_backface_visible ? "1)" : "0)"));
    }
    void _DrawTriangle(const float*, const float*, const float*, const float*, unsigned long) override {
        ++triangles;
    }
    void _DrawTriangle(const float*, const float*, const float*, const float*) override { ++triangles; }
    void _DrawLine(float, float, float, float, float, float, unsigned long) override {}
    void _DrawLine(float, float, float, float, float, float) override {}
    void _DrawPoint(float, float, float, float, float, float) override {}
    void _DrawPoint(float, float, float, unsigned long) override {}
    void _DrawPoint(float, float, float) override {}
};
