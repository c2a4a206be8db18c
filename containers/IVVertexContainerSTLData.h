#pragma once
// IVVertexContainerSTLData<IVVertexPN> and <IVVertexPNT>: the exported instantiations of the
// common base of every container that draws a mesh. The class itself belongs to the host's
// render-mesh library (host/render/IVVertexContainerSTLData.h); this library defines its copying,
// assignment and destruction, which the derived containers use.
//
// Clients do not create it directly: they construct one of the mesh containers derived from it.
// Ownership: the mesh (mp_stl, GetStl()) is borrowed, never freed; copies share it. Copying,
// assigning and destroying touch no mesh data. Threading: as the derived containers (the host's
// rendering thread).
#include "host/render/IVVertex.h"
#include "host/render/IVVertexContainerSTLData.h"
#include "module/VantrelExport.h"

extern template class VANTREL_API IVVertexContainerSTLData<IVVertexPN>;
extern template class VANTREL_API IVVertexContainerSTLData<IVVertexPNT>;
