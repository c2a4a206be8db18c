// The transparent pass: device roles and call order, colours, empty passes, the container, copies.
#include "tests/transparency/IVTransparencyCacheTest.h"

#include <string>
#include <utility>

namespace {

using Pass = IVTransparencyCacheTest;
using Calls = std::vector<std::string>;

std::array<uint8_t, 4> Colour(const IVVertexPNC& vertex) {
    return {vertex.r, vertex.g, vertex.b, vertex.a};
}

TEST_F(Pass, CallsEachDeviceInItsRoleAndOrder) {
    MUnit::SetIE(4);
    streams.pnc->echo = &pass_device.calls; // stream and device calls in one order
    auto near = Strip(1);
    auto far = Strip(1);
    const MMaterial near_material(0x80FF0000u), far_material(0x400000FFu);
    IVTransparencyCache cache(&constructor_device);
    cache.SetSkipSortTolerance(10.0f);
    for (int frame = 0; frame < 2; ++frame) {
        constructor_device.SetMaterialFront(near_material);
        Register(cache, *near);
        constructor_device.SetMaterialFront(far_material);
        Register(cache, *far, {1, 0, 0}, {-1000, 0, 0});
        constructor_device.SetMaterialFront(MMaterial());
        cache.RenderStlTransparentPN(&pass_device);
    }

    // The second frame neither sorts nor refills.
    EXPECT_EQ(pass_device.calls,
              (Calls{"StartTransparency(0)", "EnableZBuffer(1,1)", "SetBackfaceVisible(1)", "BeginTriangles",
                     "AddTriangle", "AddTriangle", "End", "Render", "EndTransparency", "StartTransparency(0)",
                     "EnableZBuffer(1,1)", "SetBackfaceVisible(1)", "Render", "EndTransparency"}));
    EXPECT_TRUE(pass_device.IsZBufferTest() && pass_device.IsZBufferWrite() &&
                pass_device.GetBackfaceVisible());
    EXPECT_FALSE(pass_device.IsTransparencyStarted());
    EXPECT_EQ(constructor_device.calls,
              (Calls{"CreateMemento", "CreateMemento", "SetTransformObjectWorld", "RestoreMemento(2)",
                     "CreateMemento", "CreateMemento", "SetTransformObjectWorld", "RestoreMemento(2)"}));
    EXPECT_EQ(constructor_device.restored_materials, (std::vector<MMaterial>{far_material, far_material}))
        << "only the farthest mesh's memento";
    EXPECT_EQ(constructor_device.object_world_matrices.back(),
              (std::array<float, 16>{0.25f, 0, 0, 0, 0, 0.25f, 0, 0, 0, 0, 0.25f, 0, 0, 0, 0, 1}));
    EXPECT_EQ(constructor_device.GetMaterialFront(), far_material);
}

// Every streamed vertex carries the diffuse colour of its own record's mesh.
void ExpectMeshColours(const IVTransparencyCache& cache, const std::vector<IVVertexPNC>& streamed) {
    ASSERT_GE(streamed.size(), 3 * cache.GetNumTriangle());
    const size_t first = streamed.size() - 3 * cache.GetNumTriangle();
    for (uint64_t i = 0; i < cache.GetNumTriangle(); ++i) {
        const uint32_t diffuse = cache.FindMemento(cache.GetStl(i))->GetMaterial().GetDiffuse();
        const std::array<uint8_t, 4> bytes = {uint8_t(diffuse), uint8_t(diffuse >> 8), uint8_t(diffuse >> 16),
                                              uint8_t(diffuse >> 24)};
        for (size_t k = 0; k < 3; ++k)
            EXPECT_EQ(Colour(streamed[first + 3 * i + k]), bytes) << "record " << i;
    }
}

TEST_F(Pass, InterleavedMeshesKeepTheirOwnColours) {
    // Without the adopted triangle the fill takes each record's colour from its visit range, with
    // it through the owner link.
    for (const bool adopt : {false, true}) {
        SCOPED_TRACE(adopt ? "a triangle adopted by the other mesh" : "every triangle its own mesh's");
        auto a = Strip(4);
        auto b = Strip(4);
        IVTransparencyCache cache(&constructor_device);
        constructor_device.SetMaterialFront(MMaterial(0x10203040u));
        Register(cache, *a);
        constructor_device.SetMaterialFront(MMaterial(0x50607080u));
        Register(cache, *b, {1, 0, 0}, {-5, 0, 0});
        // A triangle in a's tree whose owner link names b is b's, colour included.
        MStlTriangle* adopted = a->GetRootFeature()->GetSurface(0)->mp_first_triangle;
        MStlSurface* owner = adopted->mp_owner;
        if (adopt)
            adopted->mp_owner = b->GetRootFeature()->GetSurface(0);
        cache.RenderStlTransparentPN(&pass_device);
        ASSERT_NE(cache.GetStl(0), cache.GetStl(1)) << "precondition: the meshes interleave";
        ExpectMeshColours(cache, streams.pnc->vertices);
        adopted->mp_owner = owner;
    }
}

TEST_F(Pass, KeepsTheOldColoursWhileTheOrderStands) {
    auto mesh = Strip(2);
    IVTransparencyCache cache(&constructor_device);
    cache.SetSkipSortTolerance(90.0f);
    constructor_device.SetMaterialFront(MMaterial(0x01020304u));
    RegisterAndPass(cache, *mesh);
    constructor_device.SetMaterialFront(MMaterial(0x05060708u));
    RegisterAndPass(cache, *mesh);
    EXPECT_EQ(constructor_device.restored_materials.back(), MMaterial(0x05060708u));
    EXPECT_EQ(Colour(cache.GetTriangle(0).ma_vertices[0]), (std::array<uint8_t, 4>{4, 3, 2, 1}));

    cache.ForceReSort();
    RegisterAndPass(cache, *mesh);
    EXPECT_EQ(Colour(cache.GetTriangle(0).ma_vertices[0]), (std::array<uint8_t, 4>{8, 7, 6, 5}));
}

TEST_F(Pass, FarthestRecordWithoutAnOwnerSortsAndIsColouredTwos) {
    auto mesh = Strip(3);
    IVTransparencyCache cache(&constructor_device);
    RegisterAndPass(cache, *mesh, {1, 0, 0}, {1000, 0, 0}); // every depth negative
    MStlTriangle* farthest = const_cast<MStlTriangle*>(cache.GetTriangle(0).mp_triangle);
    MStlSurface* owner = std::exchange(farthest->mp_owner, nullptr);
    constructor_device.calls.clear();
    cache.SetSkipSortTolerance(90.0f);

    RegisterAndPass(cache, *mesh, {1, 0, 0}, {1000, 0, 0});
    EXPECT_EQ(StreamFills(), 2) << "no registration to compare with: the pass sorts";
    EXPECT_EQ(cache.GetTriangle(0).mp_triangle, farthest);
    EXPECT_EQ(cache.GetTriangle(0).mf_depth, 0.0f) << "no viewpoint found yet";
    EXPECT_EQ(Colour(cache.GetTriangle(0).ma_vertices[0]), (std::array<uint8_t, 4>{2, 2, 2, 2}));
    EXPECT_EQ(Colour(cache.GetTriangle(1).ma_vertices[0]), (std::array<uint8_t, 4>{255, 255, 255, 255}));
    EXPECT_EQ(constructor_device.calls, (Calls{"CreateMemento", "SetTransformObjectWorld"})) << "no memento";
    farthest->mp_owner = owner;
}

TEST_F(Pass, MeshesWithoutTrianglesOrNoMeshesTouchNoDevice) {
    MStlBase empty;
    auto inactive = Strip(1);
    inactive->GetRootFeature()->GetSurface(0)->mp_first_triangle->SetActive(false);
    IVTransparencyCache cache(&constructor_device);
    Register(cache, empty);
    RegisterAndPass(cache, *inactive);
    EXPECT_EQ(pass_device.calls, Calls{});
    EXPECT_EQ(constructor_device.calls, (Calls{"CreateMemento", "CreateMemento"}));
    EXPECT_EQ(cache.GetNumTriangle(), 0u);
    EXPECT_EQ(Container(cache), nullptr);

    // Registering nothing empties the cache's registrations (not its records) and touches no device.
    auto mesh = Strip(2);
    IVTransparencyCache emptied(&constructor_device);
    RegisterAndPass(emptied, *mesh);
    const Calls device_calls = pass_device.calls, constructor_calls = constructor_device.calls;

    emptied.RenderStlTransparentPN(&pass_device);
    EXPECT_EQ(pass_device.calls, device_calls);
    EXPECT_EQ(constructor_device.calls, constructor_calls);
    EXPECT_EQ(streams.pnc->streams_destroyed, 1) << "the stream is discarded";
    EXPECT_EQ(emptied.FindMemento(mesh.get()), nullptr);
    EXPECT_EQ(SortedCount(emptied), 0);
    EXPECT_EQ(emptied.GetNumTriangle(), 2u);
}

TEST_F(Pass, MissingDevicesOrMeshesDegradeWithoutACrashAndTheContainerOpensNoStreamWithoutBoth) {
    auto mesh = Strip(2);
    IVTransparencyCache cache(nullptr);
    float eye[3] = {0, 0, 0}, direction[3] = {1, 0, 0};
    cache.AddSTL(nullptr, eye, direction, MMTransformMatrix());
    cache.AddSTL(mesh.get(), nullptr, direction, MMTransformMatrix());
    Register(cache, *mesh);
    cache.RenderStlTransparentPN(nullptr);
    EXPECT_EQ(cache.GetNumTriangle(), 2u) << "prepared and sorted, nothing drawn";
    EXPECT_EQ(cache.GetTriangle(0).mf_depth, 40.0f * 0.33333f) << "depths stored without a stream fill";
    EXPECT_EQ(StreamFills(), 0);

    RegisterAndPass(cache, *mesh);
    EXPECT_EQ(streams.pnc->vertices.size(), 6u);
    EXPECT_EQ(Colour(streams.pnc->vertices[0]), (std::array<uint8_t, 4>{255, 255, 255, 255}))
        << "default memento";

    IVTransparencyCache other(&constructor_device);
    Exposed<IVVertexContainerTransparency> container;
    RecordingStream<IVVertexPNC> stream;
    container._Optimise(stream);
    container.mp_cache = &other;
    container._Optimise(stream);
    container.mp_cache = nullptr;
    container.mp_target_render = &pass_device;
    container._Optimise(stream);
    EXPECT_EQ(stream.Log().calls, Calls{});

    container.mp_cache = &other;
    container._Optimise(stream);
    EXPECT_EQ(stream.Log().calls, (Calls{"BeginTriangles", "End"}));
}

TEST_F(Pass, CopyAndAssignmentTakeTheContainer) {
    auto mesh = Strip(2);
    IVTransparencyCache source(&constructor_device);
    source.SetSkipSortTolerance(90.0f);
    RegisterAndPass(source, *mesh);
    IVVertexContainerTransparency* container = Container(source);
    ASSERT_NE(container, nullptr);

    IVTransparencyCache copy(source);
    EXPECT_EQ(Container(copy), container);
    EXPECT_EQ(Container(source), nullptr);
    EXPECT_NE(&copy.GetTriangle(0), &source.GetTriangle(0));
    EXPECT_EQ(Order(copy), Order(source));
    RegisterAndPass(copy, *mesh);
    EXPECT_EQ(StreamFills(), 1) << "the copy draws the stream it took over";
    RegisterAndPass(source, *mesh);
    EXPECT_NE(Container(source), nullptr);
    EXPECT_EQ(StreamFills(), 2) << "the source builds a new container";
    ExpectMeshColours(source, streams.pnc->vertices);

    RegisterAndPass(copy, *mesh, {0, 1, 0}); // a sort: the copy's own records are in use
    EXPECT_EQ(StreamFills(), 3);

    IVVertexContainerTransparency* taken = Container(source);
    copy = source;
    EXPECT_EQ(Container(copy), taken);
    EXPECT_EQ(Container(source), nullptr);
    EXPECT_EQ(streams.pnc->streams_destroyed, 2) << "the copy's previous container is gone with its stream";
    copy.ForceReSort();
    RegisterAndPass(copy, *mesh, {0, 1, 0}); // sorts the assigned records only
    EXPECT_EQ(StreamFills(), 4);

    const Record* record = &copy.GetTriangle(0);
    IVTransparencyCache& same = copy;
    copy = same;
    EXPECT_EQ(Container(copy), taken);
    EXPECT_EQ(&copy.GetTriangle(0), record);
}

} // namespace
