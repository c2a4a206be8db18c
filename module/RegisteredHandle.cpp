// The one host template instance this module exports: resolving a registered mesh handle.
#include "host/mesh/MRegisteredHandle.h"
#include "host/mesh/MStlBase.h"
#include "module/VantrelExport.h"

template VANTREL_API MStlBase* MRegisteredHandle<MRegisteredID<MStlBase>, MStlBase>::GetRegisteredObject() const;
