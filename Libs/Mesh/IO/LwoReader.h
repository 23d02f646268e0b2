#pragma once

#include "Libs/Mesh/IO/IffReader.h"
#include "Libs/Mesh/IO/LwoObject.h"

#include <memory>
#include <string>
#include <vector>

namespace Vostrel {
namespace Mesh {

// Reads a LightWave LWO2 object: layers with points, polygon lists, vertex
// maps, per-polygon maps and polygon tags, plus envelopes, clips and
// surfaces. Chunks it does not know are skipped.
class LwoReader : public IffReader {
public:
    explicit LwoReader(const std::string& fileName);
    explicit LwoReader(std::vector<uint8_t> bytes);
    ~LwoReader() override;

    bool read();
    bool readObject();

    LwoObject* getObject() { return object.get(); }
    std::unique_ptr<LwoObject> releaseObject() { return std::move(object); }

private:
    LwoLayer& requireLayer(const char* chunkId);
    LwoPolygonList& requirePolygonList(const char* chunkId);
    void readPolygons();
    void readVertexMap(bool discontinuous);
    void readPolygonTags();
    void readEnvelope();
    void readClip();
    void readSurface();
    std::unique_ptr<LwoBlock> readBlock();
    void readEnveloped(LwoEnvelopedFloat& value);
    void readEnveloped(LwoEnvelopedVec3& value);

    std::unique_ptr<LwoObject> object;
    LwoLayer* currentLayer = nullptr;
    std::vector<std::string> tags;
};

} // namespace Mesh
} // namespace Vostrel
