#include "Libs/Common/Exception.h"
#include "Libs/Common/StringUtils.h"
#include "Libs/Mesh/IO/Lwo2Mesh.h"
#include "Libs/Mesh/IO/LwoReader.h"
#include "Libs/Mesh/IO/V3DRead.h"
#include "Libs/Mesh/ModifiableMesh.h"

#include <iostream>
#include <utility>

namespace Vostrel {
namespace Mesh {

namespace {

std::unique_ptr<ModifiableMesh> readMeshFile(const std::string& fileName)
{
    if (fileName.empty()) {
        std::cout << "aa " << fileName << std::endl;
        VOSTREL_THROW_AT_LINE(15, "Empty filename");
    }
    // "file.lwo@2": the layer follows the last "@".
    const std::string::size_type at = fileName.rfind('@');
    const std::string filePart = at == std::string::npos ? fileName : fileName.substr(0, at);
    const std::string extension = filePart.size() >= 4 ? filePart.substr(filePart.size() - 4) : std::string();
    if (extension == ".v3d")
        return readV3DMesh(filePart);
    if (extension == ".lwo") {
        LwoReader reader(filePart);
        reader.read();
        const std::string layerText = at == std::string::npos ? std::string() : fileName.substr(at + 1);
        return ConvertLayerToMesh(std::move(*reader.getObject()), StringUtils::parseInt(layerText));
    }
    VOSTREL_THROW_AT_LINE(46, "Unknown extension.");
}

} // namespace

std::unique_ptr<ModifiableMesh> ModifiableMesh::create(const std::string& fileName,
                                                       const std::function<void(ModifiableMesh&)>& prepare)
{
    // The caller's preparation fails on what the file holds as much as the
    // read does: both name the file.
    return inContext("ModifiableMesh::create(" + fileName + ")", [&] {
        std::unique_ptr<ModifiableMesh> mesh = readMeshFile(fileName);
        if (prepare)
            prepare(*mesh);
        return mesh;
    });
}

} // namespace Mesh
} // namespace Vostrel
