#include "Tools/Content/Lwo2Writer.h"

#include "Libs/Common/Exception.h"
#include "Tools/Content/ContentWriter.h"

#include <cstring>
#include <fstream>

namespace Vostrel {
namespace Content {

namespace {

class ByteWriter {
public:
    void id(const char* fourCharacters) { bytes.insert(bytes.end(), fourCharacters, fourCharacters + 4); }
    void u2(uint32_t v)
    {
        bytes.push_back(uint8_t(v >> 8));
        bytes.push_back(uint8_t(v));
    }
    void u4(uint32_t v)
    {
        u2(v >> 16);
        u2(v & 0xffff);
    }
    void f4(float f)
    {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        u4(bits);
    }
    // Indices below 0xff00 take two bytes, larger ones four with 0xff first.
    void vx(uint32_t index)
    {
        if (index < 0xff00)
            u2(index);
        else
            u4(0xff000000u | index);
    }
    // Text with its NUL, padded to an even length.
    void s0(const std::string& s)
    {
        bytes.insert(bytes.end(), s.begin(), s.end());
        bytes.push_back(0);
        if (bytes.size() % 2)
            bytes.push_back(0);
    }
    // A chunk with a four-byte size; odd data gets a pad byte the size leaves out.
    void chunk(const char* chunkId, const ByteWriter& data)
    {
        id(chunkId);
        u4(static_cast<uint32_t>(data.bytes.size()));
        bytes.insert(bytes.end(), data.bytes.begin(), data.bytes.end());
        if (data.bytes.size() % 2)
            bytes.push_back(0);
    }

    std::vector<uint8_t> bytes;
};

const char* kindId(Lwo2PolygonKind kind)
{
    switch (kind) {
    case Lwo2PolygonKind::FACE:
        return "FACE";
    case Lwo2PolygonKind::CURV:
        return "CURV";
    case Lwo2PolygonKind::PTCH:
        return "PTCH";
    }
    VOSTREL_THROW("Lwo2 writer: unknown polygon kind");
}

void checkType(const std::string& type)
{
    if (type.size() != 4)
        VOSTREL_THROW("Lwo2 writer: map type '" << type << "' is not four characters");
}

// VMAP without polygons, VMAD with them.
void writeMap(ByteWriter& out, const char* chunkId, const Lwo2VertexMap& map, const std::vector<uint32_t>* polygons)
{
    checkType(map.type);
    if (map.values.size() != map.points.size() * map.dimension || (polygons && polygons->size() != map.points.size()))
        VOSTREL_THROW("Lwo2 writer: map " << map.name << " has " << map.values.size() << " values for "
                                          << map.points.size() << " points");
    ByteWriter data;
    data.id(map.type.c_str());
    data.u2(static_cast<uint32_t>(map.dimension));
    data.s0(map.name);
    for (size_t i = 0; i < map.points.size(); ++i) {
        data.vx(map.points[i]);
        if (polygons)
            data.vx((*polygons)[i]);
        for (int k = 0; k < map.dimension; ++k)
            data.f4(map.values[i * map.dimension + k]);
    }
    out.chunk(chunkId, data);
}

void writePolygonList(ByteWriter& out, const Lwo2PolygonList& list)
{
    ByteWriter polygons;
    polygons.id(kindId(list.kind));
    for (const std::vector<uint32_t>& polygon : list.polygons) {
        if (polygon.empty() || polygon.size() > 1023)
            VOSTREL_THROW("Lwo2 writer: a polygon has " << polygon.size() << " points (1 to 1023)");
        polygons.u2(static_cast<uint32_t>(polygon.size()));
        for (uint32_t point : polygon)
            polygons.vx(point);
    }
    out.chunk("POLS", polygons);
    if (!list.surfaceTags.empty()) {
        if (list.surfaceTags.size() != list.polygons.size())
            VOSTREL_THROW("Lwo2 writer: " << list.surfaceTags.size() << " surface tags for "
                                          << list.polygons.size() << " polygons");
        ByteWriter tags;
        tags.id("SURF");
        for (size_t i = 0; i < list.surfaceTags.size(); ++i) {
            tags.vx(static_cast<uint32_t>(i));
            tags.u2(list.surfaceTags[i]);
        }
        out.chunk("PTAG", tags);
    }
    for (const Lwo2PolygonMap& map : list.polygonMaps)
        writeMap(out, "VMAD", map, &map.polygons);
}

} // namespace

std::vector<uint8_t> lwo2Bytes(const Lwo2Object& object)
{
    ByteWriter body;
    body.id("LWO2");
    if (!object.tags.empty()) {
        ByteWriter tags;
        for (const std::string& tag : object.tags)
            tags.s0(tag);
        body.chunk("TAGS", tags);
    }
    for (const Lwo2Layer& layer : object.layers) {
        if (layer.number < 0 || layer.number > 0xffff)
            VOSTREL_THROW("Lwo2 writer: layer number " << layer.number);
        ByteWriter header;
        header.u2(static_cast<uint32_t>(layer.number));
        header.u2(0);
        for (int i = 0; i < 3; ++i)
            header.f4(layer.pivot[i]);
        header.s0(layer.name);
        body.chunk("LAYR", header);

        ByteWriter points;
        for (const Vec3& point : layer.points)
            for (int i = 0; i < 3; ++i)
                points.f4(point[i]);
        body.chunk("PNTS", points);
        for (const Lwo2VertexMap& map : layer.vertexMaps)
            writeMap(body, "VMAP", map, nullptr);
        // Per-polygon records follow the polygons they name.
        for (const Lwo2PolygonList& list : layer.polygonLists)
            writePolygonList(body, list);
    }
    ByteWriter file;
    file.chunk("FORM", body);
    return file.bytes;
}

void writeLwo2(const std::string& fileName, const Lwo2Object& object)
{
    const std::vector<uint8_t> bytes = lwo2Bytes(object);
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        VOSTREL_THROW("Cannot write " << fileName);
}

Lwo2Object unitQuad()
{
    Lwo2Layer layer;
    layer.number = 0;
    layer.name = "quad";
    layer.points = {Vec3(-0.5f, -0.5f, 0.0f), Vec3(-0.5f, 0.5f, 0.0f), Vec3(0.5f, 0.5f, 0.0f),
                    Vec3(0.5f, -0.5f, 0.0f)};
    Lwo2VertexMap uv;
    uv.type = "TXUV";
    uv.name = "Texture";
    uv.dimension = 2;
    uv.points = {0, 1, 2, 3};
    uv.values = {0, 0, 0, 1, 1, 1, 1, 0};
    layer.vertexMaps.push_back(uv);
    Lwo2PolygonList face;
    face.polygons = {{0, 1, 2, 3}};
    face.surfaceTags = {0};
    layer.polygonLists.push_back(face);
    Lwo2Object object;
    object.tags = {"Default"};
    object.layers.push_back(layer);
    return object;
}

void writeUnitQuad(const std::string& root)
{
    writeLwo2(prepareOutputPath(root, "data/Models/quad.lwo"), unitQuad());
}

namespace {
const RegisterContentWriter registerUnitQuad("models/quad", writeUnitQuad);
}

} // namespace Content
} // namespace Vostrel
