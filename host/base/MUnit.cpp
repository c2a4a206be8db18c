#include "host/base/MUnit.h"

#include "host/base/MInternalUnits.h"

namespace {
int g_internal_units = 1000;
}

StdBase::MInternalUnits StdBase::MInternalUnits::mg_instance;

int MUnit::GetIE() { return g_internal_units; }

void MUnit::SetIE(int internal_units) {
    g_internal_units = internal_units;
    StdBase::MInternalUnits::mg_instance.md_internal_units = static_cast<double>(internal_units);
}
