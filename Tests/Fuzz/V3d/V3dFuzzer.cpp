// Any bytes as a V3D mesh file: the import either works or fails with a
// Vostrel::Exception, and a mesh it returns names only its own vertices.
#include "Libs/Common/Exception.h"
#include "Libs/Mesh/IO/V3DRead.h"
#include "Tests/Fuzz/InputFile.h"
#include "Tests/Fuzz/FuzzCore.h"

#include <cstdint>
#include <cstdlib>
#include <cstdio>

using namespace Vostrel::Mesh;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    VostrelFuzz::ensureCore();
    const std::string path = VostrelFuzz::writeInputFile("mesh.v3d", data, size);
    try {
        std::unique_ptr<ModifiableMesh> mesh = readV3DMesh(path);
        if (mesh->hasTopology("triangles")) {
            MeshTopology* topology = mesh->getTopology("triangles");
            if (topology->getStatus() == TOPOLOGY_CLIENT_INDICES) {
                IndexLock lock(*topology, LOCK_READ_ONLY);
                for (int i = 0; i < 3 * topology->getPrimitiveCount(); ++i)
                    if (lock.get()[i] >= static_cast<uint32_t>(mesh->getVertexCount()))
                        std::abort();
            }
        }
    } catch (const Vostrel::Exception&) {
    }
    std::remove(path.c_str());
    return 0;
}
