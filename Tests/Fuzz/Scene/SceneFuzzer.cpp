// Any bytes as a ".sce" file: loading, writing both forms, reloading and
// evaluating every object either works or fails with a Vostrel::Exception.
// What loads must write back identically after a second round.
#include "Libs/Common/Exception.h"
#include "Libs/Scene/LwScene.h"
#include "Libs/Scene/Scene.h"
#include "Libs/Serializing/Serializer.h"
#include "Tests/Fuzz/FuzzCore.h"
#include "Tests/Fuzz/InputFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <set>
#include <string>

using namespace Vostrel;

namespace {

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes the scene; false when the writer refuses it (an object without a
// name, an empty string in the text form).
bool write(const Scene& scene, const std::string& path, bool binary)
{
    try {
        Serializer out(path, binary);
        scene.serialize(out);
        out.finish();
        return true;
    } catch (const Exception&) {
        return false;
    }
}

void evaluate(Scene& scene)
{
    for (float time : {0.0f, 1.5f, -3.0f})
        for (SceneObject* object : scene) {
            try {
                object->getTransform(time);
                if (object->hasAttribute("zoomFactor") && object->hasIntConstant("frameWidth")
                    && object->hasIntConstant("frameHeight"))
                    PerspectiveFunction(object).evaluate(time);
            } catch (const Exception&) {
            }
        }
}

// With duplicate ids the links depend on the file order, which loading
// changes; such a scene need not read back.
bool idsAreUnique(const Scene& scene)
{
    std::set<int> ids;
    for (const SceneObject* object : scene)
        if (!ids.insert(object->getIntConstant("objectId")).second)
            return false;
    return true;
}

// Written, read back and written again, a form gives the same bytes.
void roundTrip(const Scene& scene, bool binary)
{
    const std::string first = VostrelFuzz::tempPath(binary ? "scene-binary-1" : "scene-text-1");
    const std::string second = VostrelFuzz::tempPath(binary ? "scene-binary-2" : "scene-text-2");
    if (!write(scene, first, binary))
        return;
    std::unique_ptr<Scene> again;
    try {
        again = Scene::load(first);
    } catch (const Exception& e) {
        // Linking and ordering passed once; the written file must read.
        if (!idsAreUnique(scene))
            return;
        std::fprintf(stderr, "a written scene does not load: %s\n", e.message.c_str());
        std::abort();
    }
    if (!write(*again, second, binary) || slurp(first) != slurp(second)) {
        std::fprintf(stderr, "the %s form changed in a round trip\n", binary ? "binary" : "text");
        std::abort();
    }
    evaluate(*again);
    std::remove(first.c_str());
    std::remove(second.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    VostrelFuzz::ensureCore();
    std::cerr.setstate(std::ios::failbit); // the loader's "In" line
    std::cout.setstate(std::ios::failbit); // the writer's export lines
    const std::string path = VostrelFuzz::writeInputFile("scene-input", data, size);
    std::unique_ptr<Scene> scene;
    try {
        scene = Scene::load(path);
    } catch (const Exception&) {
    }
    std::remove(path.c_str());
    if (!scene)
        return 0;
    evaluate(*scene);
    roundTrip(*scene, false);
    roundTrip(*scene, true);
    return 0;
}
