#include "Libs/Testing/Utils/LinkFile.h"

#include "Libs/Common/StringUtils.h"
#include "Libs/Core/Texture.h"
#include "Libs/EvaluationGraph/ShaderContext.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Libs/Image/Image.h"
#include "Libs/Math/EnvelopeVec3.h"
#include "Libs/Math/Random.h"
#include "Libs/Mesh/MeshStream.h"
#include "Libs/Mesh/MeshTopology.h"
#include "Libs/Mesh/ModifiableMesh.h"
#include "Libs/Scene/LwScene.h"
#include "Libs/Scene/Scene.h"
#include "Libs/Scene/SceneRenderer.h"
#include "Libs/Testing/Utils/ToolkitAssert.h"
#include "Libs/Testing/Utils/Utils.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace Vostrel {

namespace {

constexpr float pi = 3.14159265358979f;
constexpr Core::StreamUsage staticUsage = 4;

std::string markerName(const std::string& base, int number)
{
    return base + " (" + StringUtils::intToString(number) + ")";
}

std::string indexed(const char* prefix, int index)
{
    return prefix + StringUtils::intToString(index);
}

// Reads numbers until the line runs out or one cannot be read.
template <typename T>
std::vector<T> readNumbers(std::istringstream& in)
{
    std::vector<T> values;
    T value;
    while (in >> value)
        values.push_back(value);
    return values;
}

Vec3 normalizedOr(const Vec3& v, const Vec3& fallback)
{
    const float length = std::sqrt(dot(v, v));
    return length > 1e-6f && std::isfinite(length) ? v * (1.0f / length) : fallback;
}

// A unit vector across the tangent: the previous axis kept perpendicular, or
// a fixed axis when the tangent runs along it.
Vec3 acrossTangent(const Vec3& tangent, const Vec3& previous)
{
    Vec3 axis = normalizedOr(cross(previous, tangent), Vec3(0, 0, 0));
    if (axis == Vec3(0, 0, 0))
        axis = normalizedOr(cross(Vec3(0, 1, 0), tangent), Vec3(0, 0, 0));
    if (axis == Vec3(0, 0, 0))
        axis = normalizedOr(cross(Vec3(1, 0, 0), tangent), Vec3(0, 0, 1));
    return axis;
}

} // namespace

LinkPosition stepLink(const std::vector<int>& markers, const std::vector<int>& directions, int state, float time)
{
    const int last = static_cast<int>(markers.size()) - 1;
    while (state < last && time - static_cast<float>(state) > 1.0f)
        ++state;
    if (state < 0)
        return {state, markers.empty() ? 0 : markers[0], 0.5f};
    float fraction = time - static_cast<float>(state);
    fraction = fraction < 0.0f ? 0.0f : (fraction > 1.0f ? 1.0f : fraction);
    const int code = state < static_cast<int>(directions.size()) ? directions[state] : 0;
    const float band = code == 1 ? fraction + 0.5f : (code == -1 ? 0.5f - fraction : 0.0f);
    return {state, markers[state], band};
}

std::unique_ptr<Mesh::ModifiableMesh> createFlowTube(const EnvelopeVec3& path, int segments, float radius)
{
    using namespace Mesh;
    TOOLKIT_ASSERT(segments > 0);
    const int samples = segments + 1;
    const float start = path.getStartTime();
    const float end = path.getEndTime();

    std::vector<Vec3> centres(samples);
    Vec3 wander(0, 0, 0);
    for (int k = 0; k < samples; ++k) {
        wander = wander * 0.999f + randomPointInUnitSphere() * (0.09f * radius);
        centres[k] = path.evaluate(start + k * (end - start) / segments) + wander;
    }
    std::vector<Vec3> axesA(samples), axesB(samples);
    Vec3 tangent(0, 0, 1), axisA(1, 0, 0);
    for (int k = 0; k < samples; ++k) {
        // The last sample keeps the previous tangent; a sample on top of the
        // next keeps it too.
        if (k + 1 < samples)
            tangent = normalizedOr(centres[k + 1] - centres[k], tangent);
        axisA = acrossTangent(tangent, axisA);
        axesA[k] = axisA;
        axesB[k] = normalizedOr(cross(tangent, axisA), axisA);
    }

    std::unique_ptr<ModifiableMesh> mesh = ModifiableMesh::createEmpty();
    mesh->setVertexCount(12 * samples);
    MeshStream* location = mesh->addStream("location", 3, 0);
    MeshStream* texcoord = mesh->addStream("texcoord", 2, 0);
    {
        StreamLock positions(*location, Core::LOCK_DISCARD);
        StreamLock uvs(*texcoord, Core::LOCK_DISCARD);
        float* p = positions.get();
        float* t = uvs.get();
        for (int j = 0; j < 6; ++j) {
            const float angle = j * pi / 6.0f;
            for (int k = 0; k < samples; ++k) {
                const Vec3 e = axesA[k] * std::cos(angle) + axesB[k] * std::sin(angle);
                const Vec3 plus = centres[k] + e * radius;
                const Vec3 minus = centres[k] - e * radius;
                const float u = 0.01f + k * 0.98f / segments;
                for (int c = 0; c < 3; ++c) {
                    p[c] = plus[c];
                    p[3 + c] = minus[c];
                }
                p += 6;
                *t++ = u;
                *t++ = 0.01f;
                *t++ = u;
                *t++ = 0.99f;
            }
        }
    }
    MeshTopology* triangles = mesh->addTopology("triangles", 12 * segments, 3, TOPOLOGY_CLIENT_INDICES);
    {
        IndexLock lock(*triangles, Core::LOCK_DISCARD);
        uint32_t* out = lock.get();
        for (int j = 0; j < 6; ++j) {
            const uint32_t first = static_cast<uint32_t>(j * 2 * samples);
            for (int k = 0; k < segments; ++k) {
                const uint32_t v = first + 2 + 2 * k;
                for (uint32_t index : {v - 2, v - 1, v, v + 1, v, v - 1})
                    *out++ = index;
            }
        }
    }
    mesh->computeNormals(180.0f, "location", "normal", "triangles");
    mesh->freeze(staticUsage);
    return mesh;
}

LinkFile::LinkFile(const std::string& fileName) : fileName(fileName)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(openDataFileOrSayWhy(fileName, "rb"), &std::fclose);
    if (!file)
        TOOLKIT_THROW("Cannot load link file '" << fileName << "'");
    char buffer[1024];
    int lineNumber = 0;
    long total = 0;
    while (std::fgets(buffer, sizeof buffer, file.get())) {
        ++lineNumber;
        const size_t length = std::strlen(buffer);
        total += static_cast<long>(length);
        if (total > maxToolkitFileBytes)
            TOOLKIT_THROW("Link file '" << fileName << "' is larger than " << maxToolkitFileBytes << " bytes");
        if (length == sizeof buffer - 1 && buffer[length - 1] != '\n') {
            // A full buffer may hold a whole line of 1023 characters: only
            // more characters before its end make it too long.
            const int next = std::fgetc(file.get());
            if (next != '\n' && next != EOF)
                TOOLKIT_THROW("Link file '" << fileName << "' line " << lineNumber
                                            << " is longer than 1023 characters");
        }
        if (buffer[0] == '#')
            continue;
        std::istringstream line(std::string(buffer, length));
        std::string kind;
        if (!(line >> kind))
            continue;
        if (kind == "L") {
            std::vector<int> markers = readNumbers<int>(line);
            if (markers.empty())
                TOOLKIT_THROW("Link file '" << fileName << "' line " << lineNumber << ": a link without markers");
            links.push_back(std::move(markers));
        } else if (kind == "D") {
            dirs.push_back(readNumbers<int>(line));
        } else if (kind == "T") {
            // The first number is the term; anything after it is not read.
            float term;
            if (!(line >> term) || !std::isfinite(term))
                TOOLKIT_THROW("Link file '" << fileName << "' line " << lineNumber
                                            << ": a time term must be a finite number");
            timeTerms.push_back(term);
        } else if (kind == "C") {
            std::vector<float> values = readNumbers<float>(line);
            if (values.size() < 4 || !std::isfinite(values[0]) || !std::isfinite(values[1]) ||
                !std::isfinite(values[2]) || !std::isfinite(values[3]))
                TOOLKIT_THROW("Link file '" << fileName << "' line " << lineNumber
                                            << ": a colour needs four finite numbers");
            colors.emplace_back(values[0], values[1], values[2], values[3]);
        }
    }
    if (sayWhyReadFailed(file.get(), fileName))
        TOOLKIT_THROW("Cannot load link file '" << fileName << "'");
    const size_t size = links.size();
    TOOLKIT_ASSERT(dirs.size() == size);
    TOOLKIT_ASSERT(colors.size() == size);
    TOOLKIT_ASSERT(timeTerms.size() == size);
    states.assign(size, -1);
}

LinkFile::~LinkFile() = default;

namespace {

// What every link graph shares: the placed position, a fade with distance
// and a rim that lights the silhouette.
struct LinkTerms {
    ShaderValue fade;
    ShaderValue rim;
};

LinkTerms linkTerms(ShaderGraph& graph, bool withRim)
{
    ShaderValue location = graph.vertexStream("location");
    graph.setPosition(matrixProduct4(graph.uniform("fullTransform", 4), location));
    ShaderValue meshTransform = graph.uniform("meshTransform", 4);
    ShaderValue world = matrixProduct4(meshTransform, location);
    ShaderValue toCamera = world - graph.uniform("cameraPosition", 1);
    ShaderValue distance = sqrt(lengthSquared(toCamera));
    ShaderValue fade = min(max(1.0f + (100.0f - distance) * 0.001f, 0.0f), 1.0f);
    if (!withRim)
        return {fade, fade};
    ShaderValue normal = normalize(matrixProduct3(meshTransform, graph.vertexStream("normal")));
    ShaderValue rim = 1.0f - abs(dp3(normal, normalize(toCamera)));
    return {fade, rim};
}

// Colour of the inner and band graphs: the picture over a dark, opaque base.
ShaderValue overDarkBase(ShaderGraph& graph, const ShaderValue& a, const ShaderValue& picture)
{
    ShaderValue ax = a[0];
    return graph.constant4(1, 1, 1, 0) * (0.6f * ax * picture) +
           graph.constant4(0, 0, 0, 1) * (0.6f * (1.0f - ax) + 0.4f);
}

Core::Texture* pointSampledTexture(const std::string& fileName)
{
    Core::TextureParameters parameters;
    parameters.minFilter = Core::MIN_POINT_MIP_POINT;
    return loadTexture(fileName, &parameters, true);
}

} // namespace

void LinkFile::buildFlows(LwScene& scene, const std::string& baseName, const std::string& bandMeshFile,
                          const std::string& frameMeshFile, const Vec4& innerColor, const Vec4& frameColor,
                          float flowSize, int linkCount, bool reverseBand)
{
    name = baseName;
    for (size_t i = 0; i < links.size(); ++i)
        for (int marker : links[i])
            if (!scene.findMesh(markerName(baseName, marker)))
                TOOLKIT_THROW("Link file '" << fileName << "': link " << i + 1 << " names the marker '"
                                            << markerName(baseName, marker) << "', which the scene does not have");
    tube = createFlowTube(*scene.getScene()->getPositionEnvelope("Flow"), 50, flowSize);
    auto material = [&](const ShaderGraph& graph) {
        shaders.push_back(std::make_unique<ShaderContext>(graph));
        materials.push_back(std::make_unique<BasicSceneMaterial>(shaders.back().get()));
        return materials.back().get();
    };
    Core::Texture* alpha = pointSampledTexture("data/Textures/linkkialpha.png");

    ShaderGraph innerGraph;
    {
        LinkTerms terms = linkTerms(innerGraph, true);
        ShaderValue a = terms.rim * terms.fade *
                        texld(innerGraph.vertexStream("Texture"), innerGraph.texture("texture1", 0));
        innerGraph.setColorResult(overDarkBase(innerGraph, a,
            innerGraph.constant4(innerColor[0], innerColor[1], innerColor[2], innerColor[3])));
    }
    BasicSceneMaterial* inner = material(innerGraph);
    inner->setTextureCount(1);
    inner->setTexture(0, alpha);
    inner->setSourceBlend(Core::BLEND_ONE);
    inner->setDestinationBlend(Core::BLEND_SOURCE_ALPHA);
    inner->setBlendEnabled(true);
    for (int n = 1; n <= linkCount; ++n) {
        const std::string marker = markerName(baseName, n);
        scene.setMaterial(marker, inner);
        scene.setIntConstant(marker, "FrontfaceAndBackface", 1);
        scene.setIntConstant(marker, "visible", 1);
    }

    ShaderGraph frameGraph;
    {
        LinkTerms terms = linkTerms(frameGraph, true);
        frameGraph.setColorResult(terms.rim * terms.fade *
            frameGraph.constant4(frameColor[0], frameColor[1], frameColor[2], frameColor[3]));
    }
    BasicSceneMaterial* frame = material(frameGraph);
    for (int n = 1; n <= linkCount; ++n) {
        const std::string mesh = indexed("linkkiKehys", n);
        scene.addMeshFromFile(mesh, frameMeshFile, markerName(baseName, n));
        scene.setMaterial(mesh, frame);
    }

    ShaderGraph bandGraph;
    {
        LinkTerms terms = linkTerms(bandGraph, true);
        ShaderValue coordinates = bandGraph.vertexStream("Texture");
        ShaderValue a = terms.rim * terms.fade * texld(coordinates, bandGraph.texture("texture1", 0));
        ShaderValue position = bandGraph.uniform("bandPosition", 1);
        ShaderValue shifted = reverseBand ? (coordinates + 1.0f) - position : coordinates + position;
        ShaderValue band = 3.0f * texld(shifted, bandGraph.texture("texture2", 0));
        bandGraph.setColorResult(overDarkBase(bandGraph, a, band));
    }
    BasicSceneMaterial* bandMaterial = material(bandGraph);
    bandMaterial->setTextureCount(2);
    bandMaterial->setTexture(0, alpha);
    bandMaterial->setTexture(1, loadTextureWithDefaults("data/Textures/linkkiBand.png", true));
    bandMaterial->setSourceBlend(Core::BLEND_ONE);
    bandMaterial->setDestinationBlend(Core::BLEND_SOURCE_ALPHA);
    bandMaterial->setBlendEnabled(true);
    for (size_t i = 0; i < links.size(); ++i) {
        const std::string mesh = indexed("linkkiBand", static_cast<int>(i) + 1);
        scene.addMeshFromFile(mesh, bandMeshFile, "");
        scene.setMaterial(mesh, bandMaterial);
        scene.setAttribute(mesh, "frontZBias", 0.01f);
        scene.setAttribute(mesh, "backZBias", -0.01f);
    }

    ShaderGraph flowGraph;
    {
        LinkTerms terms = linkTerms(flowGraph, false);
        ShaderValue texcoord = flowGraph.vertexStream("texcoord");
        ShaderValue stripes = texld(texcoord + flowGraph.uniform("texoffset", 1), flowGraph.texture("texture1", 0));
        ShaderValue along = texld(texcoord[0], flowGraph.texture("texture2", 0));
        flowGraph.setColorResult(5.0f * terms.fade * flowGraph.uniform("flowColor", 1) * stripes * along);
    }
    BasicSceneMaterial* flow = material(flowGraph);
    flow->setTextureCount(2);
    flow->setTexture(0, loadTextureWithDefaults("data/Textures/flowRaidat.png", true));
    flow->setTexture(1, alpha);
    flow->setBlendEnabled(true);
    flow->setSourceBlend(Core::BLEND_ONE);
    flow->setDestinationBlend(Core::BLEND_ONE);
    flow->setBlendColor(Vec4(1, 1, 1, 1));
    for (size_t i = 0; i < links.size(); ++i) {
        const std::string mesh = indexed("linkkiFlow", static_cast<int>(i) + 1);
        scene.addMesh(mesh, tube.get(), "");
        scene.setMaterial(mesh, flow);
    }
    linkedMarkers.assign(links.size(), -1);
}

void LinkFile::update(float time, LwScene& scene)
{
    float t = time;
    for (size_t i = 0; i < links.size(); ++i) {
        t += timeTerms[i];
        const LinkPosition position = stepLink(links[i], dirs[i], states[i], t);
        states[i] = position.state;
        const std::string band = indexed("linkkiBand", static_cast<int>(i) + 1);
        const std::string flow = indexed("linkkiFlow", static_cast<int>(i) + 1);
        if (i >= linkedMarkers.size() || linkedMarkers[i] != position.marker) {
            const std::string marker = markerName(name, position.marker);
            scene.linkTransform(band, marker);
            scene.linkTransform(flow, marker);
            if (i < linkedMarkers.size())
                linkedMarkers[i] = position.marker;
        }
        scene.setUniform(band, "bandPosition", Vec4(position.bandPosition, 0, 0, 0));
        scene.setUniform(flow, "texoffset", Vec4(position.bandPosition, 0, 0, 0));
        scene.setUniform(flow, "flowColor", colors[i]);
    }
}

} // namespace Vostrel
