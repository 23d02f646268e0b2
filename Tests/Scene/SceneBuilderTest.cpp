#include "Libs/Scene/Scene.h"
#include "Tests/Scene/SceneTestSupport.h"
#include "Tests/Support/TempDir.h"

#include <gtest/gtest.h>

using namespace Vostrel;
using Content::SceneBuilder;
using SceneTest::failureOf;

namespace {

// A valid scene; each rule's case then breaks it.
void base(SceneBuilder& b)
{
    b.null("Root", 1).position(0, 0, 0).rotation(0, 0, 0);
    b.camera("Camera", 2).position(0, 0, -5).constant("bank", 0).target(3);
    b.mesh("box:Layer1", 3, "data/Models/box.lwo", 1).parent(1).position(0, 0, 0).rotation(0, 0, 0);
    b.light("Light", 4, 0, 1, 1, 1).position(0, 5, 0);
}

} // namespace

TEST(SceneBuilderRules, EachRuleNamesTheObject)
{
    struct Case {
        std::function<void(SceneBuilder&)> edit;
        const char* message; // empty: the scene is written
    } cases[] = {
        {[](SceneBuilder&) {}, ""},
        {[](SceneBuilder& b) { b.null("Twin", 1); }, "'Twin' (id 1): another object has the same objectId"},
        {[](SceneBuilder& b) { b.select(3).stringConstant("note", ""); },
         "'box:Layer1' (id 3): the string constant 'note' is empty"},
        {[](SceneBuilder& b) { b.select(3).parent(9); }, "'box:Layer1' (id 3): parentId names no object of the scene"},
        {[](SceneBuilder& b) { b.select(1).parent(3); }, "'Root' (id 1): its parents and targets lead back to it"},
        {[](SceneBuilder& b) { b.select(1).envelope("y", {}); }, "'Root' (id 1): the envelope 'y' has no keys"},
        {[](SceneBuilder& b) { b.select(1).envelope("y", {{0, 1}, {0, 2}}); },
         "'Root' (id 1): the keys of the envelope 'y' do not rise strictly in time"},
        {[](SceneBuilder& b) { b.select(3).constant("sx", 1).constant("sz", 1); },
         "'box:Layer1' (id 3): sx, sy and sz are needed all or none"},
        {[](SceneBuilder& b) { b.select(3).intConstant("layer", 0); },
         "'box:Layer1' (id 3): a mesh with a file needs a layer from 1"},
        {[](SceneBuilder& b) { b.camera("Eye", 5, 3.2f, 640, 0).position(0, 0, 0).rotation(0, 0, 0); },
         "'Eye' (id 5): a camera needs frameHeight of at least 1"},
        {[](SceneBuilder& b) { b.light("Lamp", 5, 0, 1, 1, 1); }, "'Lamp' (id 5): a light needs the attribute 'x'"},
        {[](SceneBuilder& b) { b.select(1).intConstant("objectType", 7); },
         "'Root' (id 1): objectType is 1 (mesh), 2 (light) or 3 (camera)"},
        // A camera aiming at a target needs no heading or pitch; the
        // target and the parents of meshes are evaluated, a light's are not.
        {[](SceneBuilder& b) { b.null("Bare", 6).select(3).parent(6); },
         "'Bare' (id 6): an evaluated object needs the attribute 'x'"},
        {[](SceneBuilder& b) { b.null("Bare", 6).position(0, 0, 0).constant("bank", 0).select(2).target(6); },
         "'Bare' (id 6): an evaluated object without a target needs the attribute 'heading'"},
        {[](SceneBuilder& b) { b.null("Bare", 6).select(4).parent(6); }, ""},
    };
    for (const auto& c : cases) {
        VostrelTest::TempDir dir;
        SceneBuilder b;
        base(b);
        c.edit(b);
        const std::string message = failureOf([&] { b.write(dir.file("s.sce"), true); }).message;
        if (*c.message) {
            EXPECT_EQ(message, std::string("SceneBuilder: object ") + c.message);
        } else {
            EXPECT_EQ(message, "(nothing thrown)");
            // What passes the checks loads and evaluates.
            std::unique_ptr<Scene> scene = Scene::load(dir.file("s.sce"));
            for (SceneObject* object : *scene)
                if (object->hasStringConstant("fileName") || object->getIntConstant("objectId") == 2)
                    object->getTransform(0.5f);
        }
    }
}
