#include <gtest/gtest.h>

#include "Libs/Common/Exception.h"
#include "Libs/Core/APICore.h"
#include "Libs/EvaluationGraph/IntermediateShaderGraph.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Tests/EvaluationGraph/GraphTesting.h"
#include "Tests/Support/TempDir.h"

#include <cstdio>
#include <fstream>
#include <sstream>

using namespace Vostrel;
using namespace Vostrel::GraphTesting;

namespace {

typedef GraphTest ShaderGraphFrontEnd;

std::vector<ShaderNodeType> typesOf(const ShaderGraph& graph)
{
    std::vector<ShaderNodeType> types;
    for (const ShaderGraphNode* node : graph.getIntermediate()->getNodes())
        types.push_back(node->getType());
    return types;
}

// The failure an action raises, as "file: message".
std::string failureOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Exception& e) {
        return std::string(e.file) + ": " + e.message;
    }
    return "(nothing thrown)";
}

const std::string FRONT_END = "Libs\\EvaluationGraph\\ShaderGraph: ";
const std::string NODES = "Libs\\EvaluationGraph\\IntermediateShaderGraph: ";

// What Graphviz's dot reads from the dump: its node and edge lines in the
// "plain" output, and whether it parsed at all.
struct DotReading {
    int status = -1;
    std::vector<std::string> nodes, edges;
};

DotReading readWithDot(const ShaderGraph& graph)
{
    VostrelTest::TempDir dir;
    std::ostringstream dump;
    graph.writeGraphviz(dump);
    std::string input = dir.write("graph.dot", dump.str());
    std::string output = dir.file("graph.plain");
    DotReading reading;
    reading.status = std::system(("dot -Tplain '" + input + "' > '" + output + "' 2>&1").c_str());
    std::ifstream plain(output);
    for (std::string line; std::getline(plain, line);) {
        if (line.rfind("node ", 0) == 0)
            reading.nodes.push_back(line);
        else if (line.rfind("edge ", 0) == 0)
            reading.edges.push_back(line);
    }
    return reading;
}

size_t edgeCount(const ShaderGraph& graph)
{
    size_t edges = 0;
    for (const ShaderGraphNode* node : graph.getIntermediate()->getNodes())
        for (const ShaderGraphNode* child : node->getChildren())
            edges += child != nullptr;
    return edges;
}

} // namespace

TEST_F(ShaderGraphFrontEnd, OperationsCreateTheirNodesInTheOrderWritten)
{
    struct Case {
        const char* name;
        std::function<void(ShaderGraph&, const ShaderValue&, const ShaderValue&)> make;
        std::vector<ShaderNodeType> created;
    } cases[] = {
        {"difference", [](ShaderGraph&, const ShaderValue& a, const ShaderValue& b) { a - b; },
         {SHADER_NODE_NEGATE, SHADER_NODE_COMMUTATIVE}},
        {"quotient", [](ShaderGraph&, const ShaderValue& a, const ShaderValue& b) { a / b; },
         {SHADER_NODE_SWIZZLE, SHADER_NODE_SIMPLE, SHADER_NODE_COMMUTATIVE}},
        {"value plus float", [](ShaderGraph&, const ShaderValue& a, const ShaderValue&) { a + 1.0f; },
         {SHADER_NODE_CONSTANT, SHADER_NODE_COMMUTATIVE}},
        {"sincos", [](ShaderGraph&, const ShaderValue& a, const ShaderValue&) { sincos(a); },
         {SHADER_NODE_CONSTANT, SHADER_NODE_CONSTANT, SHADER_NODE_SWIZZLE, SHADER_NODE_SIMPLE}},
        {"normalize", [](ShaderGraph&, const ShaderValue& a, const ShaderValue&) { normalize(a); },
         {SHADER_NODE_COMMUTATIVE, SHADER_NODE_SWIZZLE, SHADER_NODE_SIMPLE, SHADER_NODE_COMMUTATIVE}},
        {"compose3", [](ShaderGraph&, const ShaderValue& a, const ShaderValue& b) { compose3(a, b, a); },
         {SHADER_NODE_MASK}},
        {"vs2ps", [](ShaderGraph&, const ShaderValue& a, const ShaderValue&) { vs2ps(a); }, {SHADER_NODE_CONNECTION}},
        {"texture read", [](ShaderGraph& g, const ShaderValue& a, const ShaderValue&) { texld(a, g.texture("t", 2)); },
         {SHADER_NODE_TEXTURE, SHADER_NODE_SIMPLE}},
        {"results",
         [](ShaderGraph& g, const ShaderValue& a, const ShaderValue& b) {
             g.setColorResult(a);
             g.setDepthResult(b);
             g.setPosition(a);
             g.setPointSize(b);
             g.setOutput("texkill", a);
         },
         {SHADER_NODE_RESULT_COLOR, SHADER_NODE_RESULT_DEPTH, SHADER_NODE_VS_RESULT, SHADER_NODE_VS_RESULT,
          SHADER_NODE_OUTPUT}},
    };
    for (const Case& c : cases) {
        ShaderGraph graph;
        ShaderValue a = graph.vertexStream("a"), b = graph.uniform("b", 1);
        c.make(graph, a, b);
        std::vector<ShaderNodeType> created = typesOf(graph);
        created.erase(created.begin(), created.begin() + 2);
        EXPECT_EQ(created, c.created) << c.name;
    }
}

TEST_F(ShaderGraphFrontEnd, MisuseFailsWithTheAssertionOfItsCheck)
{
    ShaderGraph graph, other;
    ShaderValue a = graph.vertexStream("a"), foreign = other.vertexStream("b");
    struct Case {
        std::function<void()> action;
        std::string failure;
    } cases[] = {
        {[&] { a + foreign; }, FRONT_END + "a.getGraph() == b.getGraph() does not hold."},
        {[&] { compose4(a, a, foreign, a); }, FRONT_END + "a.getGraph() == b.getGraph() does not hold."},
        {[&] { graph.setColorResult(foreign); }, FRONT_END + "val.getGraph() == graph does not hold."},
        {[&] { SGResult result(2); }, NODES + "_id==0 || _id==1 does not hold."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(failureOf(c.action), c.failure);
    // Nothing was entered into either graph by the refused operations.
    EXPECT_EQ(graph.getIntermediate()->getNodes().size(), 1u);
    EXPECT_EQ(other.getIntermediate()->getNodes().size(), 1u);
}

TEST_F(ShaderGraphFrontEnd, GraphsThatCannotBeEmittedFailWithTheNodesAssertion)
{
    struct Case {
        const char* name;
        std::function<void(ShaderGraph&)> make;
        std::string failure;
    } cases[] = {
        {"matrix product of a vector uniform",
         [](ShaderGraph& g) { g.setPosition(matrixProduct4(g.uniform("v", 1), g.vertexStream("location"))); },
         NODES + "id>=0 && id<(int)targets.size() does not hold."},
        {"texture read from a value",
         [](ShaderGraph& g) { g.setColorResult(texld(g.pointSpriteCoord(), g.pointSpriteCoord())); },
         NODES + "children[1]->getType()==SHADER_NODE_TEXTURE does not hold."},
        {"input left unlinked", [](ShaderGraph& g) { g.setColorResult(g.input("missing")); },
         NODES + "children.size()>0 does not hold."},
    };
    for (const Case& c : cases) {
        ShaderGraph graph;
        c.make(graph);
        EXPECT_EQ(failureOf([&] { graph.build(); }), c.failure) << c.name;
    }
}

TEST_F(ShaderGraphFrontEnd, DumpIsReadByGraphvizBeforeAndAfterTheBuild)
{
    ShaderGraph graph;
    ShaderValue location = graph.vertexStream("location");
    graph.setPosition(matrixProduct4(graph.uniform("full \"Transform\"\\", 4), location));
    ShaderValue color = blinnPhongClamped(graph.uniform("diffuse", 1), graph.uniform("specular", 1),
                                          graph.constantScalar(4.0f), location, graph.vertexStream("normal"),
                                          graph.uniform("eye", 1), graph.uniform("light", 1));
    graph.setColorResult(compose3(color, color, texld(location, graph.texture("t", 0))));
    graph.setOutput("texkill", color);

    for (bool built : {false, true}) {
        if (built)
            graph.build();
        DotReading reading = readWithDot(graph);
        EXPECT_EQ(reading.status, 0);
        EXPECT_EQ(reading.nodes.size(), graph.getIntermediate()->getNodes().size());
        EXPECT_EQ(reading.edges.size(), edgeCount(graph));
        int blue = 0, red = 0;
        for (const std::string& line : reading.nodes) {
            blue += line.find(" blue ") != std::string::npos;
            red += line.find(" red ") != std::string::npos;
        }
        EXPECT_EQ(blue > 0 && red > 0, built) << blue << " " << red;
    }
}

TEST_F(ShaderGraphFrontEnd, LinkingJoinsFragmentsThroughNamedOutputs)
{
    // A lighting fragment and a material fragment that reads its result,
    // joined and built, against the same graph written in one piece.
    ShaderGraph lighting;
    ShaderValue normal = lighting.vertexStream("normal");
    lighting.setOutput("diffuse", dp3(normalize(vs2ps(normal)), lighting.uniform("light", 1)));
    lighting.setOutput("forwarded", lighting.input("base"));

    ShaderGraph material;
    material.setPosition(material.vertexStream("location"));
    material.setOutput("base", material.uniform("tint", 1));
    material.setColorResult(material.input("diffuse") * material.input("forwarded"));
    material.setOutput("texkill", material.input("diffuse"));

    ShaderGraph joined = material.clone();
    joined.append(lighting);
    EXPECT_TRUE(joined.hasInput("diffuse"));
    joined.link();
    EXPECT_FALSE(joined.hasInput("diffuse"));
    EXPECT_FALSE(joined.hasInput("forwarded"));
    // The originals are untouched.
    EXPECT_TRUE(material.hasInput("diffuse"));

    ShaderGraph whole;
    whole.setPosition(whole.vertexStream("location"));
    ShaderValue diffuse = dp3(normalize(vs2ps(whole.vertexStream("normal"))), whole.uniform("light", 1));
    whole.setColorResult(diffuse * whole.uniform("tint", 1));
    whole.setOutput("texkill", diffuse);

    ShaderBuild a = joined.build();
    ShaderBuild b = whole.build();
    GraphInputs inputs;
    inputs.streams["location"] = Vec4(1.0f, 2.0f, 3.0f, 1.0f);
    inputs.setUniform("tint", Vec4(0.5f, 0.25f, 1.0f, 1.0f));
    for (float side : {1.0f, -1.0f}) {
        inputs.streams["normal"] = Vec4(0.0f, side, 0.5f, 0.0f);
        inputs.setUniform("light", Vec4(0.25f, 1.0f, 0.0f, 0.0f));
        ShadedSample fromFragments = interpret(*core, a, inputs), inOnePiece = interpret(*core, b, inputs);
        EXPECT_EQ(fromFragments.killed, side < 0.0f);
        EXPECT_EQ(fromFragments.killed, inOnePiece.killed);
        EXPECT_TRUE(nearLanes(inOnePiece.color, fromFragments.color, 0.0f));
        EXPECT_TRUE(nearLanes(inOnePiece.position, fromFragments.position, 0.0f));
    }
}

TEST_F(ShaderGraphFrontEnd, LinkingRefusesMissingAndRepeatedOutputs)
{
    ShaderGraph missing;
    missing.setColorResult(missing.input("nowhere"));
    EXPECT_EQ(failureOf([&] { missing.link(); }), NODES + "it != outputMap.end() does not hold.");

    ShaderGraph repeated;
    repeated.setOutput("x", repeated.constantScalar(1.0f));
    repeated.setOutput("x", repeated.constantScalar(2.0f));
    EXPECT_EQ(failureOf([&] { repeated.link(); }),
              NODES + "outputMap.find(node->getName()) == outputMap.end() does not hold.");

    ShaderGraph circular;
    circular.setOutput("a", circular.input("b"));
    circular.setOutput("b", circular.input("a"));
    circular.setColorResult(circular.input("a"));
    EXPECT_EQ(failureOf([&] { circular.link(); }),
              NODES + "ShaderGraph link: input 'a' forwards to itself through outputs");
}
