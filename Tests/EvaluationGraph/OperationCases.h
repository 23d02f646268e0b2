#pragma once

// The table of operations that the evaluation and drawing tests check one by
// one, each a small graph over two operands.

#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Tests/EvaluationGraph/GraphTesting.h"

#include <functional>
#include <vector>

namespace Vostrel {
namespace GraphTesting {

// Where shader model 2.0 has an operation's instructions.
enum Stages { VERTEX = 1, PIXEL = 2, BOTH = 3 };

struct OperationCase {
    const char* name;
    Stages stages;
    std::function<ShaderValue(ShaderGraph& g, const ShaderValue& a, const ShaderValue& b)> make;
};

const std::vector<OperationCase>& operationCases();

// The case's value over the streams "a" and "b", computed in the given stage
// (per pixel: the operands interpolated first), in a graph whose position is
// the stream "location".
ShaderValue makeCase(ShaderGraph& graph, const OperationCase& c, Stages stage);

// The uniforms "u" (vector) and "m" (matrix), the streams "location", "a"
// and "b" and the texture "t" the cases read.
GraphInputs caseInputs();

} // namespace GraphTesting
} // namespace Vostrel
