// Any bytes as a LightWave object: reading, converting every layer and
// applying its seam maps either works or fails with a Vostrel::Exception.
#include "Libs/Common/Exception.h"
#include "Libs/Mesh/IO/Lwo2Mesh.h"
#include "Libs/Mesh/IO/LwoReader.h"
#include "Tests/Fuzz/FuzzCore.h"

#include <cstdint>
#include <cstdlib>
#include <iostream>

using namespace Vostrel::Mesh;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    VostrelFuzz::ensureCore();
    std::cerr.setstate(std::ios::failbit); // the readers' "In" lines
    std::cout.setstate(std::ios::failbit); // maps passed over
    try {
        LwoReader reader(std::vector<uint8_t>(data, data + size));
        reader.read();
        for (const auto& layer : reader.getObject()->layers) {
            try {
                std::unique_ptr<ModifiableMesh> mesh = ConvertLayerToMesh(*reader.getObject(), layer->number);
                mesh->applyDiscontinuousMaps();
                if (mesh->hasTopology("triangles"))
                    mesh->getTopology("triangles")->triangulatePolygons(mesh->getStream("location"));
            } catch (const Vostrel::Exception&) {
            }
        }
    } catch (const Vostrel::Exception&) {
    }
    return 0;
}
