#pragma once

#include "Libs/Common/Exception.h"
#include "Libs/Mesh/Polygon.h"

#include <cmath>
#include <string>
#include <vector>

namespace MeshTest {

// The message of the Vostrel::Exception the call throws, or "" when it returns.
template <typename Call> std::string thrownMessage(Call call)
{
    try {
        call();
    } catch (const Vostrel::Exception& e) {
        return e.message;
    }
    return "";
}

// A unit cube as 8 corners and 6 outward-facing quads (counter-clockwise seen
// from outside).
struct Cube {
    std::vector<float> positions{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 1, 1, 0, 1, 1, 1, 1, 0, 1, 1};
    std::vector<std::vector<uint32_t>> quads{{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                                             {2, 3, 7, 6}, {1, 2, 6, 5}, {0, 4, 7, 3}};
    // The outward axis of each quad, in the order above.
    std::vector<std::vector<float>> faceNormals{{0, 0, -1}, {0, 0, 1}, {0, -1, 0}, {0, 1, 0}, {1, 0, 0}, {-1, 0, 0}};
};

// A unit sphere of latitude rings as triangles, counter-clockwise from outside.
struct Sphere {
    Sphere(int rings, int segments)
    {
        const double pi = 3.14159265358979323846;
        for (int r = 0; r <= rings; ++r)
            for (int s = 0; s < segments; ++s) {
                double theta = pi * r / rings, phi = 2 * pi * s / segments;
                positions.push_back(static_cast<float>(std::sin(theta) * std::cos(phi)));
                positions.push_back(static_cast<float>(std::sin(theta) * std::sin(phi)));
                positions.push_back(static_cast<float>(std::cos(theta)));
            }
        auto at = [segments](int r, int s) { return static_cast<uint32_t>(r * segments + (s % segments)); };
        for (int r = 0; r < rings; ++r)
            for (int s = 0; s < segments; ++s) {
                uint32_t a = at(r, s), b = at(r + 1, s), c = at(r + 1, s + 1), d = at(r, s + 1);
                if (r > 0)
                    triangles.insert(triangles.end(), {a, b, d});
                if (r + 1 < rings)
                    triangles.insert(triangles.end(), {d, b, c});
            }
    }
    int vertexCount() const { return static_cast<int>(positions.size() / 3); }

    std::vector<float> positions;
    std::vector<uint32_t> triangles;
};

} // namespace MeshTest
