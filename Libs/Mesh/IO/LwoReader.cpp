#include "Libs/Mesh/IO/LwoReader.h"

#include "Libs/Common/Exception.h"

#include <cstring>
#include <iostream>

namespace Vostrel {
namespace Mesh {

namespace {

// The index of the four bytes at id among names (four characters each), or -1.
int idIndex(const IffReader& reader, const char* const* names, int count)
{
    for (int i = 0; i < count; ++i)
        if (reader.isId(names[i]))
            return i;
    return -1;
}

const char* const polygonTypes[] = {"FACE", "CURV", "PTCH", "MBAL", "BONE"};
const char* const mapTypes[] = {"PICK", "WGHT", "MNVW", "TXUV", "RGB ", "RGBA", "MORF", "SPOT"};
const char* const tagTypes[] = {"SURF", "PART", "SMGP", "BONE", "BNUP", "BNWT"};

} // namespace

LwoReader::LwoReader(const std::string& fileName) : IffReader(fileName), object(std::make_unique<LwoObject>()) {}

LwoReader::LwoReader(std::vector<uint8_t> bytes)
    : IffReader(std::move(bytes)), object(std::make_unique<LwoObject>())
{
}

LwoReader::~LwoReader() {}

bool LwoReader::read()
{
    try {
        if (!pushChunk(false))
            VOSTREL_THROW_AT_LINE(893, "This is not IFF-file.");
        if (std::strcmp(topChunk()->id, "FORM") != 0)
            VOSTREL_THROW_AT_LINE(888, "This is not IFF-file.");
        if (!isId("LWO2"))
            VOSTREL_THROW_AT_LINE(883, "This is not LWO2-file.");
        skip(4);
        readObject();
        return popChunk();
    } catch (Exception&) {
        std::cerr << "In " << "LwoReader::read()" << std::endl;
        throw;
    }
}

LwoLayer& LwoReader::requireLayer(const char* chunkId)
{
    if (!currentLayer)
        VOSTREL_THROW(chunkId << " before LAYR?");
    return *currentLayer;
}

LwoPolygonList& LwoReader::requirePolygonList(const char* chunkId)
{
    LwoLayer& layer = requireLayer(chunkId);
    // Per-polygon records belong to the polygons before them.
    if (layer.polygonLists.empty())
        VOSTREL_THROW(chunkId << " before POLS in layer " << layer.number << ".");
    return *layer.polygonLists.back();
}

bool LwoReader::readObject()
{
    try {
        if (!pushChunk(false))
            return false;
        do {
            const std::string id = topChunk()->id;
            if (id == "LAYR") {
                auto layer = std::make_unique<LwoLayer>();
                layer->number = readU2() + 1;
                readU2();
                for (int i = 0; i < 3; ++i)
                    layer->pivot[i] = readF4();
                layer->name = readS0();
                currentLayer = layer.get();
                object->layers.push_back(std::move(layer));
            } else if (id == "BBOX") {
                if (!currentLayer)
                    VOSTREL_THROW_AT_LINE(798, "BBOX before LAYR?");
                for (int i = 0; i < 3; ++i)
                    currentLayer->boundsMin[i] = readF4();
                for (int i = 0; i < 3; ++i)
                    currentLayer->boundsMax[i] = readF4();
            } else if (id == "PNTS") {
                if (!currentLayer)
                    VOSTREL_THROW_AT_LINE(808, "PNTS before LAYR?");
                const uint32_t count = topChunk()->size / 12;
                currentLayer->points.assign(count, Vec3(0.0f));
                for (Vec3& point : currentLayer->points)
                    for (int i = 0; i < 3; ++i)
                        point[i] = readF4();
            } else if (id == "POLS") {
                if (!currentLayer)
                    VOSTREL_THROW_AT_LINE(819, "POLS before LAYR?");
                readPolygons();
            } else if (id == "TAGS") {
                tags.clear();
                while (insideChunk())
                    tags.push_back(readS0());
            } else if (id == "VMAP") {
                if (!currentLayer)
                    VOSTREL_THROW_AT_LINE(830, "VMAP before LAYR?");
                readVertexMap(false);
            } else if (id == "VMAD") {
                if (!currentLayer)
                    VOSTREL_THROW_AT_LINE(835, "VMAD before LAYR?");
                readVertexMap(true);
            } else if (id == "PTAG") {
                if (!currentLayer)
                    VOSTREL_THROW_AT_LINE(840, "PTAG before LAYR?");
                readPolygonTags();
            } else if (id == "ENVL") {
                readEnvelope();
            } else if (id == "CLIP") {
                readClip();
            } else if (id == "SURF") {
                readSurface();
            }
        } while (nextChunk(false));
        return popChunk();
    } catch (Exception&) {
        std::cerr << "In " << "LwoReader::readObject()" << std::endl;
        throw;
    }
}

void LwoReader::readPolygons()
{
    const int type = idIndex(*this, polygonTypes, 5);
    if (type < 0)
        return;
    skip(4);
    auto list = std::make_unique<LwoPolygonList>();
    list->type = type;
    // A triangle of two-byte indices takes 8 bytes.
    list->polygons.reserve((topChunk()->end - tell()) / 8);
    while (insideChunk()) {
        LwoPolygon polygon;
        polygon.vertices.resize(readU2() & 0x3ff);
        for (uint32_t& vertex : polygon.vertices)
            vertex = readVX();
        list->polygons.push_back(std::move(polygon));
    }
    currentLayer->polygonLists.push_back(std::move(list));
}

void LwoReader::readVertexMap(bool discontinuous)
{
    const int type = idIndex(*this, mapTypes, 8);
    if (type < 0)
        return;
    skip(4);
    LwoPolygonList* owner = discontinuous ? &requirePolygonList("VMAD") : nullptr;
    auto map = std::make_unique<LwoVertexMap>();
    map->type = type;
    map->dimension = static_cast<int>(readU2());
    map->name = readS0();
    // Entries with two-byte indices.
    const uint32_t entryBytes = (discontinuous ? 4 : 2) + 4 * static_cast<uint32_t>(map->dimension);
    const uint32_t entries = (topChunk()->end - tell()) / entryBytes;
    map->vertices.reserve(entries);
    if (discontinuous)
        map->polygons.reserve(entries);
    map->values.reserve(static_cast<size_t>(entries) * static_cast<uint32_t>(map->dimension));
    while (insideChunk()) {
        map->vertices.push_back(readVX());
        if (discontinuous)
            map->polygons.push_back(readVX());
        for (int i = 0; i < map->dimension; ++i)
            map->values.push_back(readF4());
    }
    if (owner)
        owner->discontinuousMaps.push_back(std::move(map));
    else
        currentLayer->vertexMaps.push_back(std::move(map));
}

void LwoReader::readPolygonTags()
{
    const int type = idIndex(*this, tagTypes, 6);
    if (type < 0)
        return;
    skip(4);
    LwoPolygonList& owner = requirePolygonList("PTAG");
    auto tagMap = std::make_unique<LwoPolygonTags>();
    tagMap->type = type;
    const uint32_t entries = (topChunk()->end - tell()) / 4;
    tagMap->polygons.reserve(entries);
    tagMap->tags.reserve(entries);
    while (insideChunk()) {
        tagMap->polygons.push_back(readVX());
        tagMap->tags.push_back(readU2());
    }
    tagMap->tagNames = tags;
    owner.tagMaps.push_back(std::move(tagMap));
}

} // namespace Mesh
} // namespace Vostrel
