#pragma once
// The exported instantiations of the mesh-container base. The class itself is the render-mesh
// library's (host/render); copying, assignment and destruction are defined by this library.
#include "host/render/IVVertex.h"
#include "host/render/IVVertexContainerSTLData.h"
#include "module/VantrelExport.h"

extern template class VANTREL_API IVVertexContainerSTLData<IVVertexPN>;
extern template class VANTREL_API IVVertexContainerSTLData<IVVertexPNT>;
