#include "Tests/Scene/Render/SceneRenderTestSupport.h"

#include "Libs/Core/RenderTarget.h"
#include "Libs/Core/Texture.h"
#include "Tools/Content/TestSceneComposer.h"

#include <gtest/gtest.h>

#include <glm/ext/matrix_clip_space.hpp>
#include <glm/ext/matrix_transform.hpp>
#include <glm/mat4x4.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>

using namespace SceneRenderTest;

namespace {

const int width = 64, height = 48;

struct Quad {
    std::string name;
    glm::dvec3 position;
    double heading;
    double scale;
    glm::dvec3 color;
    bool blended;
    bool twin;
};

struct ScreenPoint {
    double x, y, z;
};

double edge(const ScreenPoint& a, const ScreenPoint& b, double x, double y)
{
    return (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
}

double distanceToSegment(const ScreenPoint& a, const ScreenPoint& b, double x, double y)
{
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double t = std::clamp(((x - a.x) * dx + (y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(a.x + t * dx - x, a.y + t * dy - y);
}

// The frame as Direct3D would draw it: pixel (i, j) samples the screen
// point (i, j); a triangle covers it by its edge functions, is culled by
// its winding on screen (clockwise, as the viewer sees it, is front), and
// wins by its depth. Pixels within a pixel of any outline are marked
// doubtful.
struct Expected {
    std::vector<glm::dvec3> color = std::vector<glm::dvec3>(width * height, glm::dvec3(0.0));
    std::vector<double> depth = std::vector<double>(width * height, 1.0);
    std::vector<bool> doubtful = std::vector<bool>(width * height, false);

    void draw(const ScreenPoint corners[4], int cullMode, const glm::dvec3& source, bool blended)
    {
        for (int j = 0; j < height; ++j)
            for (int i = 0; i < width; ++i)
                for (int k = 0; k < 4; ++k)
                    if (distanceToSegment(corners[k], corners[(k + 1) % 4], i, j) <= 1.0)
                        doubtful[j * width + i] = true;
        for (const int* triangle : {triangleA, triangleB}) {
            const ScreenPoint &a = corners[triangle[0]], &b = corners[triangle[1]], &c = corners[triangle[2]];
            const double area = edge(a, b, c.x, c.y);
            if ((cullMode == Core::CULL_COUNTER_CLOCKWISE && area < 0) || (cullMode == Core::CULL_CLOCKWISE && area > 0))
                continue;
            for (int j = 0; j < height; ++j)
                for (int i = 0; i < width; ++i) {
                    const double w0 = edge(b, c, i, j) / area, w1 = edge(c, a, i, j) / area,
                                 w2 = edge(a, b, i, j) / area;
                    if (w0 < 0 || w1 < 0 || w2 < 0)
                        continue;
                    const double z = w0 * a.z + w1 * b.z + w2 * c.z;
                    const int at = j * width + i;
                    if (!(z < depth[at]))
                        continue;
                    if (blended) {
                        color[at] = 0.5 * glm::min(source, glm::dvec3(1.0)) + 0.5 * color[at];
                    } else {
                        color[at] = glm::min(source, glm::dvec3(1.0));
                        depth[at] = z;
                    }
                }
        }
    }

    static constexpr int triangleA[3] = {0, 1, 2};
    static constexpr int triangleB[3] = {0, 2, 3};
};

class ScenePixels : public SceneRenderFixture {};

TEST_F(ScenePixels, FlatColouredSceneMatchesARasterisedExpectation)
{
    const std::string quad = quadFile();
    const double pi = 3.14159265358979323846;
    const glm::dvec3 light(1.0, 0.8, 0.6);
    const std::vector<Quad> quads = {
        {"wall", {0, 0, 3}, 0, 4.0, {0.2, 0.6, 0.9}, false, false},
        {"mover", {0, 0.3, 1}, 0, 1.5, {0.9, 0.3, 0.2}, false, false},
        {"twin", {-1.6, -0.9, 0}, pi, 1.2, {1.0, 1.0, 0.2}, false, true},
        {"plain back", {1.6, -0.9, 0}, pi, 1.2, {0.9, 0.9, 0.9}, false, false},
        {"glass", {0.6, 0.6, -1}, 0, 1.5, {0.1, 0.9, 0.4}, true, false},
    };
    const double moverX[3] = {-1.5, 0.0, 1.5};
    const float times[3] = {0.0f, 1.5f, 3.0f};

    Content::ComposedScene composed;
    composed.cameraPosition = Vec3(0.5f, 1.0f, -8.0f);
    composed.targetPosition = Vec3(0.0f, 0.0f, 0.0f);
    composed.zoom = 4.0f;
    composed.frameWidth = width;
    composed.frameHeight = height;
    composed.lights = {{"Key", 0, Vec3(0, 5, -5), Vec3(float(light.x), float(light.y), float(light.z))}};
    for (const Quad& q : quads) {
        Content::ComposedMesh mesh(q.name, quad, Vec3(float(q.position.x), float(q.position.y), float(q.position.z)));
        mesh.rotation = Vec3(float(q.heading), 0, 0);
        for (const char* s : {"sx", "sy", "sz"})
            mesh.constants[s] = float(q.scale);
        if (q.twin)
            mesh.intConstants["FrontfaceAndBackface"] = 1;
        if (q.name == "mover")
            mesh.envelopes["x"] = {{times[0], float(moverX[0])}, {times[1], float(moverX[1])},
                                   {times[2], float(moverX[2])}};
        composed.meshes.push_back(mesh);
    }
    const std::string file = dir.file("pixels.sce");
    Content::writeComposedScene(file, composed);
    std::unique_ptr<LwScene> lwScene = LwScene::create(file, nullptr);

    OwnedShaderContext opaqueShader(flatGraph()), glassShader(flatGraph());
    BasicSceneMaterial opaque(opaqueShader.get()), glass(glassShader.get());
    glass.setBlendEnabled(true);
    lwScene->setDefaultMaterial(&opaque);
    lwScene->setMaterial("glass", &glass);
    for (const Quad& q : quads)
        lwScene->setUniform(q.name, "objectColor", Vec4(float(q.color.x), float(q.color.y), float(q.color.z), 1.0f));
    lwScene->prepare();

    std::unique_ptr<Core::Texture> target = makeTarget(width, height);
    Core::RenderContext clearing;

    const double aspect = double(width) / height, zoom = 4.0, zNear = 0.01, zFar = 2000.0;
    const glm::dmat4 projection = glm::frustumLH_ZO(-aspect * zNear / zoom, aspect * zNear / zoom, -zNear / zoom,
                                                    zNear / zoom, zNear, zFar);
    const glm::dmat4 view = glm::lookAtLH(glm::dvec3(0.5, 1.0, -8.0), glm::dvec3(0.0), glm::dvec3(0, 1, 0));
    const glm::dvec4 unitQuad[4] = {{-0.5, -0.5, 0, 1}, {-0.5, 0.5, 0, 1}, {0.5, 0.5, 0, 1}, {0.5, -0.5, 0, 1}};

    for (int frame = 0; frame < 3; ++frame) {
        target->getRenderTarget()->begin();
        clearing.clear(Core::CLEAR_COLOR | Core::CLEAR_DEPTH, Vec4(0, 0, 0, 1), 1.0f, 0);
        lwScene->getRenderer()->render("Camera", times[frame]);
        target->getRenderTarget()->end();
        const std::vector<uint32_t> pixels = readTexture(*target);

        Expected expected;
        for (bool blendedPass : {false, true})
            for (const Quad& q : quads) {
                if (q.blended != blendedPass)
                    continue;
                glm::dvec3 position = q.position;
                if (q.name == "mover")
                    position.x = moverX[frame];
                const glm::dmat4 model = glm::scale(glm::rotate(glm::translate(glm::dmat4(1.0), position), q.heading,
                                                                glm::dvec3(0, 1, 0)),
                                                    glm::dvec3(q.scale));
                ScreenPoint corners[4];
                for (int k = 0; k < 4; ++k) {
                    const glm::dvec4 clip = projection * view * model * unitQuad[k];
                    corners[k] = {(clip.x / clip.w + 1) / 2 * width, (1 - clip.y / clip.w) / 2 * height,
                                  clip.z / clip.w};
                }
                const glm::dvec3 source = light * q.color;
                if (q.twin) {
                    expected.draw(corners, Core::CULL_CLOCKWISE, source, false);
                    expected.draw(corners, Core::CULL_COUNTER_CLOCKWISE, source, false);
                } else {
                    expected.draw(corners, q.blended ? Core::CULL_NONE : Core::CULL_COUNTER_CLOCKWISE, source,
                                  q.blended);
                }
            }

        if (const char* dump = std::getenv("VOSTREL_SCENE_PIXEL_DUMP")) {
            std::ofstream out(std::string(dump) + "/frame" + std::to_string(frame) + ".ppm", std::ios::binary);
            out << "P6 " << width << " " << height * 2 << " 255\n";
            for (uint32_t p : pixels)
                out.put(char((p >> 16) & 255)).put(char((p >> 8) & 255)).put(char(p & 255));
            for (const glm::dvec3& c : expected.color)
                out.put(char(std::lround(c.x * 255))).put(char(std::lround(c.y * 255))).put(char(std::lround(c.z * 255)));
        }

        int compared = 0, wrong = 0;
        for (int at = 0; at < width * height; ++at) {
            if (expected.doubtful[at])
                continue;
            ++compared;
            const uint32_t p = pixels[at];
            const double actual[3] = {((p >> 16) & 255) / 255.0, ((p >> 8) & 255) / 255.0, (p & 255) / 255.0};
            const glm::dvec3& e = expected.color[at];
            const double wanted[3] = {e.x, e.y, e.z};
            bool same = true;
            for (int c = 0; c < 3; ++c)
                same = same && std::fabs(actual[c] - wanted[c]) <= 2.0 / 255.0 + 1e-9;
            if (!same && ++wrong <= 5)
                ADD_FAILURE() << "frame " << frame << " pixel (" << at % width << ", " << at / width << "): "
                              << actual[0] << " " << actual[1] << " " << actual[2] << " instead of " << wanted[0]
                              << " " << wanted[1] << " " << wanted[2];
        }
        EXPECT_EQ(wrong, 0) << "frame " << frame;
        EXPECT_GT(compared, width * height / 2) << "frame " << frame;
    }
    lwScene.reset();
}

} // namespace
