#include "Libs/Testing/TransitionEffect.h"

#include "Libs/Core/RenderTarget.h"
#include "Libs/Core/Texture.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Libs/Image/Image.h"
#include "Libs/Mesh/MeshTopology.h"
#include "Libs/Mesh/ModifiableMesh.h"
#include "Libs/Postprocessing/Blitter.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Testing/DemoParts.h"

namespace Vostrel {

namespace {

const int stateSize = 512;
const Vec4 restValue(0.5f, 0.5f, 0.0f, 0.0f);
const Vec4 transparentBlack(0.0f, 0.0f, 0.0f, 0.0f);

ShaderValue sample(ShaderGraph& graph, const char* name, const ShaderValue& coordinates)
{
    return texld(coordinates, graph.texture(name, Core::TEXTURE_TYPE_2D));
}

std::unique_ptr<GenericFullscreenBlitter> fullscreen(const ShaderGraph& graph)
{
    return std::unique_ptr<GenericFullscreenBlitter>(createGenericFullscreenBlitter(graph.build()));
}

// Red' = S.r - 0.06 d.y, green' = S.g + 0.06 d.x, where d is the
// neighbours' mean less the state plus six times the potential times the
// state's offset from rest. Drawn half a texel up and left so that every
// pixel reads its own texel's centre.
std::unique_ptr<GenericFullscreenBlitter> makeStepProgram()
{
    ShaderGraph g;
    g.setPosition(g.vertexStream("location") + g.constant4(-1.0f / stateSize, 1.0f / stateSize, 0, 0));
    const ShaderValue texcoord = g.vertexStream("texcoord");
    const ShaderValue dx = g.uniform("texture_xoffset", 1);
    const ShaderValue dy = g.uniform("texture_yoffset", 1);
    const ShaderValue s = sample(g, "texture", texcoord);
    const ShaderValue p = sample(g, "texture2", texcoord);
    const ShaderValue c = g.constant4(0.5f, 0.5f, 0, 0);
    const ShaderValue n = 0.25f * (sample(g, "texture", texcoord + dx) + sample(g, "texture", texcoord - dx) +
                                   sample(g, "texture", texcoord + dy) + sample(g, "texture", texcoord - dy));
    const ShaderValue d = n + (p * 6.0f) * (s - c) - s;
    const ShaderValue moved = s + d[0] * g.constant4(0, 0.06f, 0, 0) + d[1] * g.constant4(-0.06f, 0, 0, 0);
    g.setColorResult(c + 1.0f * (moved - c));
    return fullscreen(g);
}

// The energy of the field's gradient as bluish light.
std::unique_ptr<GenericFullscreenBlitter> makeFieldProgram()
{
    ShaderGraph g;
    g.setPosition(g.vertexStream("location"));
    const ShaderValue texcoord = g.vertexStream("texcoord");
    const ShaderValue dx = g.uniform("texture_xoffset", 1);
    const ShaderValue dy = g.uniform("texture_yoffset", 1);
    const ShaderValue gx = sample(g, "texture", texcoord + dx) - sample(g, "texture", texcoord - dx);
    const ShaderValue gy = sample(g, "texture", texcoord + dy) - sample(g, "texture", texcoord - dy);
    g.setColorResult(g.constant4(0.5f, 0.7f, 1.2f, 0) * (dp3(gx, gx) + dp3(gy, gy)));
    return fullscreen(g);
}

std::unique_ptr<GenericFullscreenBlitter> makeGlowProgram()
{
    ShaderGraph g;
    g.setPosition(g.vertexStream("location"));
    const ShaderValue q = 30.0f * vs2ps(g.vertexStream("texcoord") - g.uniform("center", 1));
    g.setColorResult(rsq(dp3(q, q)) * g.constant4(0.3f, 0.3f, 0, 0));
    return fullscreen(g);
}

// The texts' colour with the potential's red as alpha; drawn subtracting
// the target times that alpha from it.
std::unique_ptr<GenericFullscreenBlitter> makeOverlayProgram()
{
    ShaderGraph g;
    g.setPosition(g.vertexStream("location"));
    const ShaderValue texcoord = g.vertexStream("texcoord");
    g.setColorResult(sample(g, "texture", texcoord) * g.constant4(1, 1, 1, 0) +
                     sample(g, "texture2", texcoord)[0] * g.constant4(0, 0, 0, 1));
    std::unique_ptr<GenericFullscreenBlitter> blitter = fullscreen(g);
    blitter->setBlending(Core::BLENDOP_SUBTRACT, Core::BLEND_ONE, Core::BLEND_SOURCE_ALPHA, Vec4(1, 1, 1, 1), false,
                         Core::BLENDOP_ADD, Core::BLEND_ONE, Core::BLEND_ONE);
    return blitter;
}

std::unique_ptr<GenericFullscreenBlitter> makeRecentreProgram()
{
    ShaderGraph g;
    g.setPosition(g.vertexStream("location"));
    const ShaderValue coordinates =
        (g.vertexStream("texcoord") - g.constant4(0.5f, 0.5f, 0, 0)) * 1.0f + g.uniform("center", 1);
    g.setColorResult(sample(g, "texture", coordinates));
    return fullscreen(g);
}

// The seed's red and green around the rest value.
std::unique_ptr<GenericFullscreenBlitter> makeSeedProgram()
{
    ShaderGraph g;
    g.setPosition(g.vertexStream("location"));
    g.setColorResult(sample(g, "texture", g.vertexStream("texcoord")) * g.constant4(1, 1, 0, 0) +
                     g.constant4(0.5f, 0.5f, 0, 0));
    return fullscreen(g);
}

ShaderBuild makeCameraNormalProgram()
{
    ShaderGraph g;
    const ShaderValue camera = g.uniform("camera", 4);
    g.setPosition(matrixProduct4(camera, g.vertexStream("location")));
    g.setColorResult(0.5f * normalize(vs2ps(matrixProduct3(camera, g.vertexStream("normal")))) + 0.5f);
    return g.build();
}

ShaderBuild makePhongProgram()
{
    ShaderGraph g;
    const ShaderValue location = g.vertexStream("location");
    const ShaderValue transform = g.uniform("transform", 4);
    g.setPosition(matrixProduct4(g.uniform("camera", 4), location));
    const ShaderValue position = matrixProduct4(transform, location);
    const ShaderValue normal = matrixProduct3(transform, g.vertexStream("normal"));
    const ShaderValue eye = g.uniform("cameraPos", 1);
    const ShaderValue diffuse = g.constant4(0, 0, 0.2f, 0);
    const ShaderValue specular = g.constant4(0.2f, 0.1f, 0, 0);
    const ShaderValue exponent = g.constantScalar(10.0f);
    g.setColorResult(blinnPhong(diffuse, specular, exponent, position, normal, eye, g.constant4(5, 7, 3, 1)) +
                     blinnPhong(diffuse, specular, exponent, position, normal, eye, g.constant4(-6, 3, -3, 1)));
    return g.build();
}

const RegisterDemoEffect registration("TransitionEffect",
                                      [] { return std::unique_ptr<DemoEffect>(TransitionEffect::create()); });

} // namespace

std::unique_ptr<TransitionEffect> TransitionEffect::create()
{
    return std::make_unique<TransitionEffectImpl>();
}

TransitionEffectImpl::TransitionEffectImpl() = default;

TransitionEffectImpl::~TransitionEffectImpl()
{
    for (RenderTexture* target : {stateA, stateB, display})
        if (target)
            RenderTargetPool::release(target);
}

void TransitionEffectImpl::init()
{
    const Core::TextureParameters defaults;
    potential.reset(loadTextureFromFile("data/Textures/potential.jpg", defaults));
    seed.reset(loadTextureFromFile("data/Textures/seed.jpg", defaults));
    texts.reset(loadTextureFromFile("data/Textures/transce_texts.png", defaults));

    // Held for the whole run: the field lives in them from frame to frame.
    RenderTexture** targets[] = {&stateA, &stateB, &display};
    for (RenderTexture** target : targets) {
        *target = RenderTargetPool::acquire(stateSize, stateSize, Core::FORMAT_A8R8G8B8);
        (*target)->texture->setWrapUV(Core::TEXTURE_WRAP, Core::TEXTURE_WRAP);
    }

    stepProgram = makeStepProgram();
    fieldProgram = makeFieldProgram();
    glowProgram = makeGlowProgram();
    overlayProgram = makeOverlayProgram();
    recentreProgram = makeRecentreProgram();
    seedProgram = makeSeedProgram();
    cameraNormalProgram = makeCameraNormalProgram();
    cameraNormalProgram.apply(cameraNormalContext);
    cameraNormalContext.setCullMode(Core::CULL_NONE);
    phongProgram = makePhongProgram();
    phongProgram.apply(phongContext);

    // No frame draws the mesh, but the part has always needed its file.
    mesh = Mesh::ModifiableMesh::create("data/Models/spikey.lwo@1", [](Mesh::ModifiableMesh& read) {
        read.computeNormals(180.0f, "location", "normal", "triangles");
        read.getTopology("triangles")->triangulatePolygons(read.getStream("location"));
        read.freeze(4);
    });
    cameraNormalInstance = mesh->createRenderingInstance(cameraNormalProgram.getStreamNames(), "Default");
    phongInstance = mesh->createRenderingInstance(phongProgram.getStreamNames(), "Default");

    clearTarget(*stateA, restValue);
    clearTarget(*stateB, restValue);
    ready = true;
}

void TransitionEffectImpl::clearTarget(RenderTexture& target, const Vec4& colour)
{
    target.target->begin();
    cameraNormalContext.clear(Core::CLEAR_COLOR | Core::CLEAR_DEPTH, colour, 1.0f, 0);
    target.target->end();
}

void TransitionEffectImpl::step()
{
    stateA->target->begin();
    stepProgram->setTexture("texture", stateB->texture);
    stepProgram->setTexture("texture2", potential.get());
    stepProgram->blit();
    stateA->target->end();
    std::swap(stateA, stateB);
}

void TransitionEffectImpl::render(RenderTexture& target)
{
    clearTarget(*display, transparentBlack);
    if (!seeded) {
        stateA->target->begin();
        Core::RenderContext local;
        local.clear(Core::CLEAR_COLOR | Core::CLEAR_DEPTH, restValue, 1.0f, 0);
        seedProgram->setTexture("texture", seed.get());
        seedProgram->blit();
        seeded = true;
        stateA->target->end();
    } else {
        // The display shows the first of the frame's two steps; the
        // closing swap hands the second to the next frame.
        step();
        stateA->target->begin();
        stepProgram->setTexture("texture", stateB->texture);
        stepProgram->setTexture("texture2", potential.get());
        stepProgram->blit();
        stateA->target->end();
    }
    if (ready) {
        display->target->begin();
        fieldProgram->setTexture("texture", stateB->texture);
        fieldProgram->setBlending(Core::BLENDOP_ADD, Core::BLEND_ONE, Core::BLEND_ONE, Vec4(1, 1, 1, 1), false,
                                  Core::BLENDOP_ADD, Core::BLEND_ONE, Core::BLEND_ONE);
        fieldProgram->blit();
        display->target->end();
    }
    target.target->begin();
    cameraNormalContext.clear(Core::CLEAR_COLOR | Core::CLEAR_DEPTH, transparentBlack, 1.0f, 0);
    recentreProgram->setTexture("texture", display->texture);
    recentreProgram->setVec4("center", Vec4(0.5f, 0.5f, 0, 0));
    recentreProgram->blit();
    overlayProgram->setTexture("texture", texts.get());
    overlayProgram->setTexture("texture2", potential.get());
    overlayProgram->blit();
    target.target->end();
    std::swap(stateA, stateB);
}

} // namespace Vostrel
