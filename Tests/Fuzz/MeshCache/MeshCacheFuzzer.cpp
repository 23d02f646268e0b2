// Any bytes as a LightWave object that a scene loads: every layer converted
// and made drawable as the mesh cache does (normals, seams, triangles,
// subdivided patches) either works or fails with a Vostrel::Exception.
#include "Libs/Common/Exception.h"
#include "Libs/Mesh/IO/Lwo2Mesh.h"
#include "Libs/Mesh/IO/LwoReader.h"
#include "Libs/Scene/LwScene.h"
#include "Tests/Fuzz/FuzzCore.h"

#include <cstdint>
#include <iostream>

using namespace Vostrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    VostrelFuzz::ensureCore();
    std::cerr.setstate(std::ios::failbit); // the readers' "In" lines
    try {
        Mesh::LwoReader reader(std::vector<uint8_t>(data, data + size));
        reader.read();
        for (const auto& layer : reader.getObject()->layers) {
            try {
                freezeMesh(Mesh::ConvertLayerToMesh(*reader.getObject(), static_cast<int>(layer->number)), nullptr,
                           "fuzz.lwo", static_cast<int>(layer->number));
            } catch (const Exception&) {
            }
        }
    } catch (const Exception&) {
    }
    return 0;
}
