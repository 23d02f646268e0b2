#pragma once

#include "Libs/Common/Exception.h"
#include "Libs/Math/Function.h"
#include "Tools/Content/SceneBuilder.h"

#include <functional>
#include <string>
#include <vector>

namespace SceneTest {

// What a failing action threw: message, reported file and line.
struct Failure {
    std::string message;
    std::string file;
    int line = 0;
};

inline Failure failureOf(const std::function<void()>& action)
{
    Failure failure;
    try {
        action();
        failure.message = "(nothing thrown)";
    } catch (const Vostrel::Exception& e) {
        failure.message = e.message;
        failure.file = e.file ? e.file : "";
        failure.line = e.line;
    }
    return failure;
}

// A channel that counts its evaluations and records their times.
class CountingFunction : public Vostrel::Function<float, float> {
public:
    explicit CountingFunction(float value, std::vector<float>* times) : value(value), times(times) {}
    float evaluate(const float& time) const override
    {
        times->push_back(time);
        return value;
    }

private:
    float value;
    std::vector<float>* times;
};

// A scene using every feature of the file: a camera aiming at a target,
// nested meshes with pivots, a light, envelopes with every behaviour and
// names with blanks.
inline void buildSample(Vostrel::Content::SceneBuilder& b)
{
    b.null("Rig Root", 2).position(1, 2, 3).rotation(0.1f, 0.2f, 0.3f).scale(1, 2, 0.5f);
    b.envelope("heading", {{0, 0, 0.5f, -0.25f, 0.1f}, {2, 1.5f}, {4, -1}}, 0, 1);
    b.light("Key Light", 3, 0, 1, 0.9f, 0.8f).position(-5, 10, -5);
    b.mesh("box:Layer1 (1)", 4, "data/Models/box.lwo", 1).parent(2).pivot(0.5f, 0, -1).rotation(0, 0, 0);
    b.envelope("x", {{0, 0}, {1, 2}, {3, -2}}, 2, 3).envelope("y", {{0, 1}, {2, 3}}, 4, 5).constant("z", 4);
    b.mesh("quad:Layer1", 5, "data/Models/quad.lwo", 1).parent(4).position(0, 1, 0).rotation(0, 0, 0.5f);
    b.stringConstant("note", "two words and a \\ backslash").intConstant("visible", 1);
    b.camera("Main Camera", 1, 3.2f, 640, 480).target(4).constant("nearPlane", 0.5f).constant("farPlane", 500);
    b.envelope("z", {{0, -20, 0, 0, 0}, {8, -10, 1, 0, 0}}, 1, 2).constant("x", 0).constant("y", 2);
    b.constant("bank", 0.05f);
}

} // namespace SceneTest
