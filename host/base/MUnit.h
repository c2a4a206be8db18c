#pragma once
// MUnit: the number of internal units per model unit, the scale of every integer mesh coordinate.
// Process-wide host state; SetIE keeps StdBase::MInternalUnits::mg_instance in step.

class MUnit {
public:
    static int GetIE();
    // Tests and programs change the factor; the application would read it from its document.
    static void SetIE(int internal_units);
};
