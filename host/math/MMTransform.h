#pragma once
// MMTransform: the host's abstract point transform. It may be non-linear, so it maps one point
// (or one direction) at a time; nothing else about it can be assumed.
//
// Every operation ends with a bool that is false for points and true for directions (a direction
// ignores translation; for a non-linear transform it is the transform's own business what a
// direction means). Every operation answers true on success. Derived classes supply the two
// double-precision operations; the float forms go through them by default.
#include "host/math/MMPoint3d.h"

class MMTransform {
public:
    virtual ~MMTransform();

    virtual bool Transform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const = 0;
    virtual bool Transform(float* const out, float x, float y, float z, bool direction) const;
    virtual bool Transform(float* const in_out, bool direction) const;
    virtual bool Transform(float& x, float& y, float& z, bool direction) const;
    virtual bool InverseTransform(MMPoint3d<double>& out, const MMPoint3d<double>& in,
                                  bool direction) const = 0;

    // Several points at once: out[i] as Transform(out[i], in[i][0], in[i][1], in[i][2], false)
    // gives it, for i from 0 to count - 1 in order. This form makes those calls; a transform
    // whose per-point work is one long chain of dependent operations may override it to run
    // several chains side by side, and must give the same floats.
    virtual void TransformPoints(float (*out)[3], const float (*in)[3], int count) const;
};
