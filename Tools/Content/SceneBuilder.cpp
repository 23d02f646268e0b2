#include "Tools/Content/SceneBuilder.h"

#include "Libs/Common/Exception.h"
#include "Libs/Math/Envelope.h"
#include "Libs/Serializing/Serializer.h"

#include <map>
#include <set>

namespace Vostrel {
namespace Content {

namespace {

std::string label(const SceneObject& object)
{
    std::ostringstream out;
    out << "'" << (object.hasStringConstant("objectName") ? object.getStringConstant("objectName") : "")
        << "' (id " << (object.hasIntConstant("objectId") ? object.getIntConstant("objectId") : -1) << ")";
    return out.str();
}

#define SCENE_RULE(object, condition, rule)                                                     \
    do {                                                                                        \
        if (!(condition))                                                                       \
            VOSTREL_THROW("SceneBuilder: object " << label(object) << ": " << rule);            \
    } while (false)

int typeOf(const SceneObject& object)
{
    return object.hasIntConstant("objectType") ? object.getIntConstant("objectType") : 0;
}

void checkStrings(const SceneObject& object)
{
    for (const auto& entry : object.getAttributes())
        SCENE_RULE(object, !entry.first.empty(), "an attribute has an empty name");
    for (const auto& entry : object.getStringConstants()) {
        SCENE_RULE(object, !entry.first.empty(), "a string constant has an empty name");
        SCENE_RULE(object, !entry.second.empty(), "the string constant '" << entry.first << "' is empty");
    }
    for (const auto& entry : object.getIntConstants())
        SCENE_RULE(object, !entry.first.empty(), "an int constant has an empty name");
}

void checkAttributes(const SceneObject& object)
{
    for (const auto& entry : object.getAttributes()) {
        if (entry.second->isConstant())
            continue;
        const Envelope* envelope = dynamic_cast<const Envelope*>(entry.second.get());
        SCENE_RULE(object, envelope, "the attribute '" << entry.first << "' is neither constant nor an envelope");
        const std::vector<EnvelopeKey>& keys = envelope->getKeys();
        SCENE_RULE(object, !keys.empty(), "the envelope '" << entry.first << "' has no keys");
        for (size_t i = 1; i < keys.size(); ++i)
            SCENE_RULE(object, keys[i - 1].time < keys[i].time,
                       "the keys of the envelope '" << entry.first << "' do not rise strictly in time");
    }
    const int scales = object.hasAttribute("sx") + object.hasAttribute("sy") + object.hasAttribute("sz");
    SCENE_RULE(object, scales == 0 || scales == 3, "sx, sy and sz are needed all or none");
}

void requireChannels(const SceneObject& object, const std::vector<const char*>& names, const char* why)
{
    for (const char* name : names)
        SCENE_RULE(object, object.hasAttribute(name), why << " needs the attribute '" << name << "'");
}

} // namespace

SceneBuilder::SceneBuilder() : selected(nullptr) {}

SceneBuilder::~SceneBuilder() {}

SceneBuilder& SceneBuilder::add(const std::string& name, int id, int type)
{
    SceneObject* object = new SceneObject;
    scene.addObject(object);
    selected = object;
    object->setStringConstant("objectName", name);
    object->setIntConstant("objectId", id);
    if (type != 0)
        object->setIntConstant("objectType", type);
    return *this;
}

SceneObject& SceneBuilder::current() const
{
    if (!selected)
        VOSTREL_THROW("SceneBuilder: no object to edit yet");
    return *selected;
}

SceneBuilder& SceneBuilder::mesh(const std::string& name, int id, const std::string& fileName, int layer)
{
    add(name, id, 1);
    if (!fileName.empty())
        selected->setStringConstant("fileName", fileName);
    if (layer != 0)
        selected->setIntConstant("layer", layer);
    return *this;
}

SceneBuilder& SceneBuilder::camera(const std::string& name, int id, float zoom, int frameWidth, int frameHeight)
{
    add(name, id, 3);
    constant("zoomFactor", zoom);
    selected->setIntConstant("frameWidth", frameWidth);
    selected->setIntConstant("frameHeight", frameHeight);
    return *this;
}

SceneBuilder& SceneBuilder::light(const std::string& name, int id, int kind, float r, float g, float b)
{
    add(name, id, 2);
    selected->setIntConstant("lightType", kind);
    constant("color.r", r);
    constant("color.g", g);
    return constant("color.b", b);
}

SceneBuilder& SceneBuilder::null(const std::string& name, int id)
{
    return add(name, id, 0);
}

SceneBuilder& SceneBuilder::select(int id)
{
    for (SceneObject* object : scene)
        if (object->hasIntConstant("objectId") && object->getIntConstant("objectId") == id) {
            selected = object;
            return *this;
        }
    VOSTREL_THROW("SceneBuilder: no object has the id " << id);
}

SceneBuilder& SceneBuilder::parent(int id)
{
    return intConstant("parentId", id);
}

SceneBuilder& SceneBuilder::target(int id)
{
    return intConstant("targetId", id);
}

SceneBuilder& SceneBuilder::pivot(float x, float y, float z)
{
    current().setPivot(Vec3(x, y, z));
    return *this;
}

SceneBuilder& SceneBuilder::constant(const std::string& name, float value)
{
    current().setAttribute(name, new ConstantFunction<float>(value));
    return *this;
}

SceneBuilder& SceneBuilder::envelope(const std::string& name, const std::vector<Key>& keys, int pre, int post)
{
    Envelope* envelope = new Envelope;
    current().setAttribute(name, envelope);
    envelope->setPreBehavior(pre);
    envelope->setPostBehavior(post);
    for (const Key& key : keys)
        envelope->addKey({0, key.time, key.value, key.tension, key.continuity, key.bias});
    return *this;
}

SceneBuilder& SceneBuilder::intConstant(const std::string& name, int value)
{
    current().setIntConstant(name, value);
    return *this;
}

SceneBuilder& SceneBuilder::stringConstant(const std::string& name, const std::string& value)
{
    current().setStringConstant(name, value);
    return *this;
}

SceneBuilder& SceneBuilder::position(float x, float y, float z)
{
    return constant("x", x).constant("y", y).constant("z", z);
}

SceneBuilder& SceneBuilder::rotation(float heading, float pitch, float bank)
{
    return constant("heading", heading).constant("pitch", pitch).constant("bank", bank);
}

SceneBuilder& SceneBuilder::scale(float sx, float sy, float sz)
{
    return constant("sx", sx).constant("sy", sy).constant("sz", sz);
}

void SceneBuilder::check() const
{
    std::map<int, const SceneObject*> byId;
    for (const SceneObject* object : scene) {
        SCENE_RULE(*object, object->hasIntConstant("objectId"), "every object needs objectId");
        SCENE_RULE(*object, byId.emplace(object->getIntConstant("objectId"), object).second,
                   "another object has the same objectId");
    }

    std::set<const SceneObject*> evaluated;
    std::vector<const SceneObject*> pending;
    for (const SceneObject* object : scene) {
        const SceneObject& o = *object;
        checkStrings(o);
        checkAttributes(o);
        for (const char* link : {"parentId", "targetId"})
            SCENE_RULE(o, !o.hasIntConstant(link) || byId.count(o.getIntConstant(link)),
                       link << " names no object of the scene");
        const int type = typeOf(o);
        if (o.hasIntConstant("objectType")) {
            SCENE_RULE(o, type >= 1 && type <= 3, "objectType is 1 (mesh), 2 (light) or 3 (camera)");
            SCENE_RULE(o, o.hasStringConstant("objectName"), "a typed object needs objectName");
        }
        if (type == 1) {
            if (o.hasStringConstant("fileName")) {
                const std::string& file = o.getStringConstant("fileName");
                SCENE_RULE(o, file.size() > 4 && file.compare(file.size() - 4, 4, ".lwo") == 0,
                           "fileName names a \".lwo\" file");
                SCENE_RULE(o, o.hasIntConstant("layer") && o.getIntConstant("layer") >= 1,
                           "a mesh with a file needs a layer from 1");
            }
        } else if (type == 2) {
            SCENE_RULE(o, o.hasIntConstant("lightType"), "a light needs lightType");
            requireChannels(o, {"x", "y", "z", "color.r", "color.g", "color.b"}, "a light");
        } else if (type == 3) {
            requireChannels(o, {"zoomFactor"}, "a camera");
            for (const char* size : {"frameWidth", "frameHeight"})
                SCENE_RULE(o, o.hasIntConstant(size) && o.getIntConstant(size) >= 1,
                           "a camera needs " << size << " of at least 1");
        }
        if (type == 1 || type == 3)
            pending.push_back(object);
    }

    // Meshes and cameras are evaluated, and with them their parents and
    // targets; a chain that comes back to an object never ends.
    while (!pending.empty()) {
        const SceneObject* object = pending.back();
        pending.pop_back();
        if (!evaluated.insert(object).second)
            continue;
        for (const char* link : {"parentId", "targetId"})
            if (object->hasIntConstant(link))
                pending.push_back(byId[object->getIntConstant(link)]);
    }
    for (const SceneObject* object : evaluated) {
        const SceneObject& o = *object;
        requireChannels(o, {"x", "y", "z", "bank"}, "an evaluated object");
        if (!o.hasIntConstant("targetId"))
            requireChannels(o, {"heading", "pitch"}, "an evaluated object without a target");
    }
    for (const SceneObject* object : scene) {
        std::set<const SceneObject*> seen;
        std::vector<const SceneObject*> chain{object};
        while (!chain.empty()) {
            const SceneObject* at = chain.back();
            chain.pop_back();
            for (const char* link : {"parentId", "targetId"})
                if (at->hasIntConstant(link)) {
                    const SceneObject* next = byId[at->getIntConstant(link)];
                    SCENE_RULE(*object, next != object, "its parents and targets lead back to it");
                    if (seen.insert(next).second)
                        chain.push_back(next);
                }
        }
    }
}

void SceneBuilder::write(const std::string& path, bool binary) const
{
    check();
    Serializer out(path, binary);
    scene.serialize(out);
    out.finish();
}

} // namespace Content
} // namespace Vostrel
