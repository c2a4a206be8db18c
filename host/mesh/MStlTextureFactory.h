#pragma once
// MStlTextureFactory: the textures of one mesh, in creation order. Owns them.
#include "host/mesh/MStlTexture.h"

#include <memory>
#include <vector>

class MStlTextureFactory {
public:
    MStlTexture* CreateTexture();
    const std::vector<MStlTexture*>& GetTextures() const { return mv_textures; }

private:
    std::vector<std::unique_ptr<MStlTexture>> mv_storage;
    std::vector<MStlTexture*> mv_textures;
};
