#include "containers/IVVertexContainerSTLData.h"

template <class V>
IVVertexContainerSTLData<V>::IVVertexContainerSTLData(const IVVertexContainerSTLData& other)
    : IVVertexContainer<V>(other), mp_stl(other.mp_stl) {}

// Member by member: the base's stream pointer and both flags, then the mesh.
template <class V>
IVVertexContainerSTLData<V>& IVVertexContainerSTLData<V>::operator=(const IVVertexContainerSTLData& other) {
    this->mp_stream = other.mp_stream;
    this->mb_dynamic = other.mb_dynamic;
    this->mb_optimised = other.mb_optimised;
    mp_stl = other.mp_stl;
    return *this;
}

template <class V>
IVVertexContainerSTLData<V>& IVVertexContainerSTLData<V>::operator=(IVVertexContainerSTLData&& other) {
    return *this = static_cast<const IVVertexContainerSTLData&>(other);
}

template <class V> IVVertexContainerSTLData<V>::~IVVertexContainerSTLData() = default;

template class IVVertexContainerSTLData<IVVertexPN>;
template class IVVertexContainerSTLData<IVVertexPNT>;
