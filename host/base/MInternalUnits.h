#pragma once
// StdBase::MInternalUnits: the internal-units factor as a double, for callers that divide in
// double precision. Always equal to MUnit::GetIE(); change it only through MUnit::SetIE.

namespace StdBase {

class MInternalUnits {
public:
    double md_internal_units = 1000.0;

    operator double() const { return md_internal_units; }

    static MInternalUnits mg_instance;
};

} // namespace StdBase
