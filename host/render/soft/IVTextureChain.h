#pragma once
// IVTextureChain: an ordered list of textures that a device may draw one after another (for
// instance the levels of a texture that is too large for one piece). Holds the textures by
// borrowed pointer; the caller keeps them alive. Not thread-safe.
#include "host/render/IVTexture.h"

#include <vector>

class IVTextureChain {
public:
    IVTextureChain() = default;
    virtual ~IVTextureChain() = default;

    void Add(IVTexture* texture) { mv_textures.push_back(texture); }
    void Clear() { mv_textures.clear(); }
    const std::vector<IVTexture*>& GetTextures() const { return mv_textures; }

private:
    std::vector<IVTexture*> mv_textures;
};
