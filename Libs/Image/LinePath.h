#pragma once

namespace Vostrel {

// A walk over poly-lines: rewind puts the cursor on the first point, advance
// delivers each point with its AGG path command (1 for a line's first
// point) and 0 when no line is left.
class LinePath {
public:
    virtual ~LinePath() = default;
    virtual void rewind() = 0;
    virtual unsigned advance(double* x, double* y) = 0;
};

} // namespace Vostrel
