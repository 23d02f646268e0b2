// Envelopes, clips and surfaces of an LWO2 object: sub-chunks with short headers.
#include "Libs/Common/Exception.h"
#include "Libs/Mesh/IO/LwoReader.h"

#include <algorithm>
#include <cstring>

namespace Vostrel {
namespace Mesh {

namespace {

// This half of the reader reports its failures as the reader's own.
const char* const readerSource = "Libs\\Mesh\\IO\\LwoReader";

const char* const keyShapes[] = {"TCB ", "HERM", "BEZI", "LINE", "STEP", "BEZ2"};

bool is(const IffReader::Chunk* chunk, const char* id)
{
    return std::strcmp(chunk->id, id) == 0;
}

} // namespace

void LwoReader::readEnveloped(LwoEnvelopedFloat& value)
{
    value.value = readF4();
    value.envelope = readVX();
}

void LwoReader::readEnveloped(LwoEnvelopedVec3& value)
{
    for (int i = 0; i < 3; ++i)
        value.value[i] = readF4();
    value.envelope = readVX();
}

void LwoReader::readEnvelope()
{
    auto envelope = std::make_unique<LwoEnvelope>();
    envelope->index = readVX();
    LwoKey* key = nullptr;
    if (pushChunk(true)) {
        do {
            const Chunk* chunk = topChunk();
            if (is(chunk, "TYPE")) {
                skip(1);
                envelope->type = readU1();
            } else if (is(chunk, "PRE ")) {
                envelope->preBehaviour = readU2();
            } else if (is(chunk, "POST")) {
                envelope->postBehaviour = readU2();
            } else if (is(chunk, "KEY ")) {
                auto newKey = std::make_unique<LwoKey>();
                newKey->time = readF4();
                newKey->value = readF4();
                if (!envelope->keys.empty()) {
                    LwoKey* last = envelope->keys.back().get();
                    if (!(newKey->time >= last->time))
                        throw Exception("key->time >= env->keys.back()->time does not hold.", readerSource, 289);
                }
                key = newKey.get();
                envelope->keys.push_back(std::move(newKey));
            } else if (is(chunk, "SPAN")) {
                if (!key)
                    VOSTREL_THROW_FROM(readerSource, 301, "SPAN before KEY?");
                int shape = -1;
                for (int i = 0; i < 6 && shape < 0; ++i)
                    if (isId(keyShapes[i]))
                        shape = i;
                skip(4);
                const uint32_t parameterCount = (chunk->size - 4) / 4;
                if (parameterCount > 4)
                    throw Exception("nparams <= 4 does not hold.", readerSource, 310);
                for (uint32_t i = 0; i < parameterCount; ++i)
                    key->parameters[i] = readF4();
                if (shape >= 0)
                    key->shape = shape;
            } else if (is(chunk, "NAME")) {
                envelope->name = readS0();
            }
        } while (nextChunk(true));
        popChunk();
    }
    object->envelopes.push_back(std::move(envelope));
}

void LwoReader::readClip()
{
    auto clip = std::make_unique<LwoClip>();
    clip->index = readU4();
    struct Adjustment {
        const char* id;
        int line;
        LwoEnvelopedFloat LwoClip::*field;
    };
    static const Adjustment adjustments[] = {{"CONT", 395, &LwoClip::contrast},
                                             {"BRIT", 401, &LwoClip::brightness},
                                             {"SATR", 407, &LwoClip::saturation},
                                             {"HUE ", 413, &LwoClip::hue},
                                             {"GAMM", 419, &LwoClip::gamma}};
    if (pushChunk(true)) {
        do {
            const Chunk* chunk = topChunk();
            if (is(chunk, "STIL")) {
                clip->kind = 1;
                clip->still = std::make_unique<LwoStill>();
                clip->still->fileName = readS0();
            } else if (is(chunk, "ISEQ")) {
                clip->kind = 2;
                auto sequence = std::make_unique<LwoImageSequence>();
                sequence->digits = readU1();
                sequence->flags = readU1();
                sequence->offset = readU2();
                skip(2);
                sequence->start = readU2();
                sequence->end = readU2();
                sequence->prefix = readS0();
                sequence->suffix = readS0();
                clip->sequence = std::move(sequence);
            } else if (is(chunk, "XREF")) {
                clip->kind = 3;
                auto reference = std::make_unique<LwoClipReference>();
                reference->index = readU4();
                reference->string = readS0();
                clip->reference = std::move(reference);
            } else if (is(chunk, "TIME")) {
                if (!clip->kind)
                    VOSTREL_THROW_FROM(readerSource, 388, "TIME before STIL/ISEQ/XREF?");
                clip->startTime = readF4();
                clip->duration = readF4();
                clip->frameRate = readF4();
            } else if (is(chunk, "NEGA")) {
                if (!clip->kind)
                    VOSTREL_THROW_FROM(readerSource, 425, "NEGA before STIL/ISEQ/XREF?");
                clip->negative = readU2() != 0;
            } else {
                for (const Adjustment& adjustment : adjustments)
                    if (is(chunk, adjustment.id)) {
                        if (!clip->kind)
                            VOSTREL_THROW_FROM(readerSource, adjustment.line,
                                                  std::string(adjustment.id, adjustment.id[3] == ' ' ? 3 : 4)
                                                      << " before STIL/ISEQ/XREF?");
                        readEnveloped((*clip).*adjustment.field);
                    }
            }
        } while (nextChunk(true));
        popChunk();
    }
    object->clips.push_back(std::move(clip));
}

void LwoReader::readSurface()
{
    auto surface = std::make_unique<LwoSurface>();
    surface->name = readS0();
    surface->source = readS0();
    struct Channel {
        const char* id;
        LwoEnvelopedFloat LwoSurface::*field;
    };
    static const Channel channels[] = {
        {"DIFF", &LwoSurface::diffuse},          {"LUMI", &LwoSurface::luminosity},
        {"SPEC", &LwoSurface::specularity},      {"REFL", &LwoSurface::reflection},
        {"TRAN", &LwoSurface::transparency},     {"TRNL", &LwoSurface::translucency},
        {"GLOS", &LwoSurface::glossiness},       {"SHRP", &LwoSurface::sharpness},
        {"BUMP", &LwoSurface::bump},             {"RSAN", &LwoSurface::reflectionSeamAngle},
        {"RBLR", &LwoSurface::reflectionBlur},   {"RIND", &LwoSurface::refractiveIndex},
        {"TBLR", &LwoSurface::refractionBlur},   {"CLRH", &LwoSurface::colourHighlights},
        {"CLRF", &LwoSurface::colourFilter},     {"ADTR", &LwoSurface::additiveTransparency}};
    if (pushChunk(true)) {
        do {
            const Chunk* chunk = topChunk();
            if (is(chunk, "COLR")) {
                readEnveloped(surface->colour);
            } else if (is(chunk, "SIDE")) {
                surface->sidedness = readU2();
            } else if (is(chunk, "SMAN")) {
                surface->maxSmoothingAngle = readF4();
            } else if (is(chunk, "RFOP")) {
                surface->reflectionOptions = readU2();
            } else if (is(chunk, "RIMG")) {
                surface->reflectionImage = readVX();
            } else if (is(chunk, "TROP")) {
                surface->transparencyOptions = readU2();
            } else if (is(chunk, "TIMG")) {
                surface->refractionImage = readVX();
            } else if (is(chunk, "GLOW")) {
                surface->glowType = readU2();
                readEnveloped(surface->glowIntensity);
                readEnveloped(surface->glowSize);
            } else if (is(chunk, "LINE")) {
                surface->outline = readU2() != 0;
                if (chunk->size >= 8)
                    readEnveloped(surface->outlineSize);
                if (chunk->size >= 22)
                    readEnveloped(surface->outlineColour);
            } else if (is(chunk, "ALPH")) {
                surface->alphaMode = readU2();
                surface->alphaValue = readF4();
            } else if (is(chunk, "VCOL")) {
                readEnveloped(surface->vertexColourIntensity);
                const uint8_t* type = current();
                skip(4);
                std::memcpy(surface->vertexColourMapType, type, 4);
                surface->vertexColourMapName = readS0();
            } else if (is(chunk, "BLOK")) {
                surface->blocks.push_back(readBlock());
            } else {
                for (const Channel& channel : channels)
                    if (is(chunk, channel.id))
                        readEnveloped((*surface).*channel.field);
            }
        } while (nextChunk(true));
        popChunk();
    }
    object->surfaces.push_back(std::move(surface));
}

std::unique_ptr<LwoBlock> LwoReader::readBlock()
{
    auto block = std::make_unique<LwoBlock>();
    if (!pushChunk(true))
        VOSTREL_THROW_FROM(readerSource, 444, "BLOK header subchunk missing.");
    static const char* const blockTypes[] = {"IMAP", "PROC", "GRAD", "SHDR"};
    for (int i = 0; i < 4; ++i)
        if (is(topChunk(), blockTypes[i]))
            block->type = i;
    readS0(); // ordinal
    if (pushChunk(true)) {
        do {
            const Chunk* chunk = topChunk();
            if (is(chunk, "CHAN")) {
                const uint8_t* channel = current();
                skip(4);
                std::memcpy(block->channel, channel, 4);
            } else if (is(chunk, "ENAB")) {
                block->enabled = readU2() != 0;
            } else if (is(chunk, "OPAC")) {
                block->opacityType = readU2();
                readEnveloped(block->opacity);
            } else if (is(chunk, "AXIS")) {
                block->displacementAxis = readU2();
            }
        } while (nextChunk(true));
        popChunk();
    }
    struct Channel {
        const char* id;
        LwoEnvelopedFloat LwoBlock::*field;
    };
    static const Channel channels[] = {
        {"WRPW", &LwoBlock::wrapWidth}, {"WRPH", &LwoBlock::wrapHeight}, {"TAMP", &LwoBlock::amplitude}};
    struct Name {
        const char* id;
        std::string LwoBlock::*field;
    };
    static const Name names[] = {{"VMAP", &LwoBlock::uvMapName},
                                 {"FUNC", &LwoBlock::algorithmName},
                                 {"PNAM", &LwoBlock::gradientParameterName},
                                 {"INAM", &LwoBlock::gradientItemName}};
    while (nextChunk(true)) {
        const Chunk* chunk = topChunk();
        if (is(chunk, "TMAP")) {
            if (pushChunk(true)) {
                do {
                    const Chunk* sub = topChunk();
                    if (is(sub, "CNTR"))
                        readEnveloped(block->centre);
                    else if (is(sub, "SIZE"))
                        readEnveloped(block->size);
                    else if (is(sub, "ROTA"))
                        readEnveloped(block->rotation);
                    else if (is(sub, "OREF"))
                        block->referenceObject = readS0();
                    else if (is(sub, "FALL")) {
                        block->falloffType = static_cast<int>(readU2());
                        readEnveloped(block->falloff);
                    } else if (is(sub, "CSYS"))
                        block->coordinateSystem = readU2();
                } while (nextChunk(true));
                popChunk();
            }
        } else if (is(chunk, "PROJ")) {
            block->projection = readU2();
        } else if (is(chunk, "AXIS")) {
            block->majorAxis = readU2();
        } else if (is(chunk, "IMAG")) {
            block->image = readVX();
        } else if (is(chunk, "WRAP")) {
            block->widthWrap = readU2();
            block->heightWrap = readU2();
        } else if (is(chunk, "AAST")) {
            block->antialiasing = readU2() != 0;
            block->antialiasingStrength = readF4();
        } else if (is(chunk, "PIXB")) {
            block->pixelBlending = readU2() != 0;
        } else if (is(chunk, "STCK")) {
            block->sticky = readU2() != 0;
            block->stickyTime = readF4();
        } else if (is(chunk, "VALU")) {
            const float first = readF4();
            block->proceduralValue = Vec3(first);
            if (chunk->size >= 12) {
                block->proceduralValue[1] = readF4();
                block->proceduralValue[2] = readF4();
            }
        } else if (is(chunk, "FKEY")) {
            block->gradientKeys.resize(chunk->size / 20);
            for (LwoGradientKey& key : block->gradientKeys) {
                key.input = readF4();
                for (float& output : key.output)
                    output = readF4();
            }
        } else if (is(chunk, "IKEY")) {
            const size_t count = std::min<size_t>(chunk->size / 2, block->gradientKeys.size());
            for (size_t i = 0; i < count; ++i)
                block->gradientKeys[i].interpolation = readU2();
        } else {
            for (const Channel& channel : channels)
                if (is(chunk, channel.id))
                    readEnveloped((*block).*channel.field);
            for (const Name& name : names)
                if (is(chunk, name.id))
                    (*block).*name.field = readS0();
        }
    }
    popChunk();
    return block;
}

} // namespace Mesh
} // namespace Vostrel
