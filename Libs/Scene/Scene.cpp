#include "Libs/Scene/Scene.h"

#include "Libs/Common/Exception.h"
#include "Libs/Common/StringUtils.h"
#include "Libs/Serializing/Deserializer.h"
#include "Libs/Serializing/Serializer.h"

#include <iostream>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace Vostrel {

namespace {

const float neverEvaluated = -1e10f;
// Parent and target chains deeper than this are refused: real scenes nest a
// handful of levels, and the evaluation recurses once per level.
const int maxTransformDepth = 1000;
thread_local int transformDepth = 0;

// A check whose expression text is not what this code spells, reported as
// it always has been.
[[noreturn]] void failedCheck(const char* expressionText, int line)
{
    throw Exception(std::string(expressionText) + " does not hold.", sourceName(__FILE__), line);
}

// The text form never holds an empty token, so an empty string there means
// the file ended.
std::string readName(Deserializer& in)
{
    std::string text = in.readString();
    if (text.empty() && !in.isBinary())
        VOSTREL_THROW("The file " << in.getFileName() << " ends in the middle of a string.");
    return text;
}

// Marks an object as being evaluated and counts the nesting, so a cycle or a
// runaway chain is reported instead of overflowing the stack.
class EvaluationGuard {
public:
    EvaluationGuard(SceneObject& object, bool& evaluating) : evaluating(evaluating)
    {
        if (evaluating)
            VOSTREL_THROW("SceneObject::getTransform: object '" << object.describe()
                                                                << "' depends on itself through its parent or target");
        if (transformDepth >= maxTransformDepth)
            VOSTREL_THROW("SceneObject::getTransform: object '"
                          << object.describe() << "' is reached through more than " << maxTransformDepth
                          << " parents or targets");
        evaluating = true;
        ++transformDepth;
    }
    ~EvaluationGuard()
    {
        evaluating = false;
        --transformDepth;
    }

private:
    bool& evaluating;
};

} // namespace

// ---- TransformFunction ----------------------------------------------------

TransformFunction::TransformFunction(SceneObject* object) : object(object) {}

Matrix4 TransformFunction::evaluate(const float& time) const
{
    const SceneObject& o = *object;
    // A failure in the object's own channels names it; a parent or target
    // names itself.
    auto own = [&](auto&& body) { return inContext([&] { return o.describeAt(time); }, body); };
    auto channel = [&](const char* name) { return own([&] { return o.requireAttribute(name).evaluate(time); }); };
    const Vec3 p(channel("x"), channel("y"), channel("z"));

    Matrix4 parentMatrix(1.0f);
    if (o.parent)
        parentMatrix = *o.parent->getTransform(time);

    float heading, pitch;
    const float bank = channel("bank");
    if (o.target) {
        // Aimed at in the parent's space, where p lives; a parent without an
        // inverse leaves the target where it is in the world.
        const Matrix4& targetMatrix = *o.target->getTransform(time);
        Vec3 q(targetMatrix(0, 3), targetMatrix(1, 3), targetMatrix(2, 3));
        Matrix4 reduced = parentMatrix, inverse;
        if (o.parent && invertMatrix(reduced, inverse) == 0)
            q = inverse * q;
        const Vec3 angles = lookAtAngles(bank, p, q);
        heading = angles[0];
        pitch = angles[1];
    } else {
        heading = channel("heading");
        pitch = channel("pitch");
    }

    Vec3 s(1.0f, 1.0f, 1.0f);
    if (o.hasAttribute("sx")) {
        own([&] {
            const bool sy = o.hasAttribute("sy");
            VOSTREL_ASSERT_AT_LINE(61, sy);
            const bool sz = o.hasAttribute("sz");
            VOSTREL_ASSERT_AT_LINE(63, sz);
        });
        s = Vec3(channel("sx"), channel("sy"), channel("sz"));
    }

    Matrix4 m = transformMatrixFromHpb(p[0], p[1], p[2], heading, pitch, bank, s[0], s[1], s[2]);
    if (o.pivotPointer)
        m = m * affineTransform(Matrix3(1.0f), *o.pivotPointer);
    if (o.parent)
        m = parentMatrix * m;
    return m;
}

// ---- SceneObject ------------------------------------------------------------

const char* const SceneObject::transformChannels[9] = {"x", "y", "z", "sx", "sy", "sz", "heading", "pitch", "bank"};

SceneObject::SceneObject()
    : parent(nullptr), target(nullptr), pivot(0.0f, 0.0f, 0.0f), pivotPointer(nullptr), cachedTime(neverEvaluated),
      cacheValid(false), evaluating(false), timeOffset(0.0f), cachedTransform(1.0f),
      transform(new TransformFunction(this)), externalTransform(nullptr)
{
}

// The record: pivot, attributes ('C' constants, 'E' envelopes), string
// constants, int constants. A count below 1 means none; a later entry of a
// name replaces the earlier one.
SceneObject::SceneObject(Deserializer& in) : SceneObject()
{
    Vec3 filePivot;
    filePivot[0] = in.readFloat();
    filePivot[1] = in.readFloat();
    filePivot[2] = in.readFloat();
    if (filePivot[0] != 0.0f || filePivot[1] != 0.0f || filePivot[2] != 0.0f)
        setPivot(filePivot);

    int count = in.readInt(4);
    if (count > 0) {
        // Name, type code and at least one float.
        in.checkCount(count, 3, 3);
        for (int i = 0; i < count; ++i) {
            const std::string name = readName(in);
            const int type = in.readInt(4);
            if (type == 'C')
                attributes[name] = std::make_shared<ConstantFunction<float>>(in.readFloat());
            else if (type == 'E')
                attributes[name] = std::make_shared<Envelope>(in);
            else
                VOSTREL_THROW_AT_LINE(285, "[SceneObject] deserializer: invalid attribute type: " << type);
        }
    }

    count = in.readInt(4);
    if (count > 0) {
        in.checkCount(count, 2, 1);
        for (int i = 0; i < count; ++i) {
            const std::string name = readName(in);
            stringConstants[name] = readName(in);
        }
    }

    count = in.readInt(4);
    if (count > 0) {
        in.checkCount(count, 2, 2);
        for (int i = 0; i < count; ++i) {
            const std::string name = readName(in);
            intConstants[name] = in.readInt(4);
        }
    }
}

SceneObject::~SceneObject() {}

void SceneObject::setPivot(const Vec3& value)
{
    pivot = value;
    pivotPointer = &pivot;
}

std::string SceneObject::describe() const
{
    if (hasStringConstant("objectName"))
        return StringUtils::printable(getStringConstant("objectName"));
    if (hasIntConstant("objectId"))
        return "objectId " + StringUtils::intToString(getIntConstant("objectId"));
    return "(unnamed)";
}

bool SceneObject::hasAttribute(const std::string& name) const
{
    return getAttributeFunction(name) != nullptr;
}

SceneObject::AttributeFunction* SceneObject::getAttributeFunction(const std::string& name) const
{
    AttributeMap::const_iterator it = attributes.find(name);
    return it == attributes.end() ? nullptr : it->second.get();
}

const SceneObject::AttributeFunction& SceneObject::requireAttribute(const std::string& name) const
{
    const AttributeFunction* function = getAttributeFunction(name);
    if (!function)
        VOSTREL_THROW_AT_LINE(181, "SceneObject::getAttribute: attribute '" << name << "' not found, cannot evaluate");
    return *function;
}

float SceneObject::getAttribute(const std::string& name, float time) const
{
    const float at = time + timeOffset;
    return inContext([&] { return describeAt(at); }, [&] { return requireAttribute(name).evaluate(at); });
}

std::string SceneObject::describeAt(float time) const
{
    return "SceneObject '" + describe() + "'" + (sceneFile.empty() ? "" : " of " + sceneFile) + " at time " +
           StringUtils::floatToString(time);
}

bool SceneObject::hasStringConstant(const std::string& name) const
{
    return stringConstants.count(name) != 0;
}

const std::string& SceneObject::getStringConstant(const std::string& name) const
{
    StringConstantMap::const_iterator it = stringConstants.find(name);
    if (it == stringConstants.end())
        VOSTREL_THROW_AT_LINE(207, "SceneObject::getStringConstant: string constant '" << name << "' not found");
    return it->second;
}

bool SceneObject::hasIntConstant(const std::string& name) const
{
    return intConstants.count(name) != 0;
}

int32_t SceneObject::getIntConstant(const std::string& name) const
{
    IntConstantMap::const_iterator it = intConstants.find(name);
    if (it == intConstants.end())
        VOSTREL_THROW_AT_LINE(223, "SceneObject::getIntConstant: integer constant '" << name << "' not found");
    return it->second;
}

bool SceneObject::hasUniform(const std::string& name) const
{
    return uniforms.count(name) != 0;
}

const Vec4* SceneObject::getUniform(const std::string& name) const
{
    UniformMap::const_iterator it = uniforms.find(name);
    return it == uniforms.end() ? nullptr : &it->second;
}

void SceneObject::setAttribute(const std::string& name, AttributeFunction* function)
{
    if (!function) {
        attributes.erase(name);
        return;
    }
    std::shared_ptr<AttributeFunction>& entry = attributes[name];
    // Wrapping the held function a second time would free it twice.
    if (entry.get() != function)
        entry.reset(function);
}

void SceneObject::setStringConstant(const std::string& name, const std::string& value)
{
    stringConstants[name] = value;
}

void SceneObject::setIntConstant(const std::string& name, int32_t value)
{
    intConstants[name] = value;
}

void SceneObject::setUniform(const std::string& name, const Vec4& value)
{
    uniforms[name] = value;
}

void SceneObject::shareChannels(SceneObject* source)
{
    VOSTREL_ASSERT(source != 0);
    for (const char* channel : transformChannels) {
        AttributeMap::const_iterator it = source->attributes.find(channel);
        if (it == source->attributes.end() || !it->second)
            attributes.erase(channel);
        else
            attributes[channel] = it->second;
    }
}

const Matrix4* SceneObject::getTransform(float time)
{
    if (externalTransform)
        return externalTransform;
    VOSTREL_ASSERT_AT_LINE(148, transform != 0);
    if (cacheValid && time == cachedTime)
        return &cachedTransform;
    EvaluationGuard guard(*this, evaluating);
    cachedTransform = transform->evaluate(time + timeOffset);
    cachedTime = time;
    cacheValid = true;
    return &cachedTransform;
}

void SceneObject::serialize(Serializer& out) const
{
    std::cout << "  Exporting SceneObject '" << StringUtils::printable(getStringConstant("objectName")) << "'"
              << std::endl;
    out.writeFloat(pivot[0]);
    out.writeFloat(pivot[1]);
    out.writeFloat(pivot[2]);

    int count = 0;
    for (const AttributeMap::value_type& entry : attributes)
        if (entry.second)
            ++count;
    out.writeInt(count, 4);
    for (const AttributeMap::value_type& entry : attributes) {
        const AttributeFunction* function = entry.second.get();
        if (!function)
            continue;
        out.writeString(entry.first);
        if (function->isConstant()) {
            out.writeInt('C', 4);
            out.writeFloat(function->evaluate(0.0f));
            continue;
        }
        const Envelope* envelope = dynamic_cast<const Envelope*>(function);
        if (!envelope)
            VOSTREL_THROW("SceneObject::serialize: attribute '" << entry.first << "' of '" << describe()
                                                                << "' is neither constant nor an envelope");
        out.writeInt('E', 4);
        envelope->serialize(out);
    }

    out.writeInt(static_cast<int>(stringConstants.size()), 4);
    for (const StringConstantMap::value_type& entry : stringConstants) {
        out.writeString(entry.first);
        out.writeString(entry.second);
    }
    out.writeInt(static_cast<int>(intConstants.size()), 4);
    for (const IntConstantMap::value_type& entry : intConstants) {
        out.writeString(entry.first);
        out.writeInt(entry.second, 4);
    }
    out.newline();
}

// ---- Scene ----------------------------------------------------------------

Scene::Scene() {}

Scene::~Scene()
{
    for (SceneObject* object : objects)
        delete object;
}

void Scene::addObject(SceneObject* object)
{
    VOSTREL_ASSERT(object != 0);
    objects.push_back(object);
}

void Scene::read(Deserializer& in)
{
    const int count = in.readInt(4);
    if (count < 1)
        return;
    // Pivot, three counts.
    in.checkCount(count, 6, 4);
    for (int i = 0; i < count; ++i) {
        std::unique_ptr<SceneObject> object(new SceneObject(in));
        // Evaluating a keyless envelope fails; say so where the file is known.
        for (const SceneObject::AttributeMap::value_type& entry : object->getAttributes()) {
            const Envelope* envelope = dynamic_cast<const Envelope*>(entry.second.get());
            if (envelope && envelope->getKeys().empty())
                VOSTREL_THROW("The file " << in.getFileName() << ": object " << i << ", attribute '"
                                          << StringUtils::printable(entry.first) << "' is an envelope without keys.");
        }
        objects.push_back(object.release());
    }
}

std::unique_ptr<Scene> Scene::load(const std::string& fileName)
{
    std::unique_ptr<Scene> scene(new Scene);
    try {
        {
            Deserializer in(fileName);
            scene->read(in);
        }
        scene->linkObjects();
        scene->orderByHierarchy();
        scene->fileName = fileName;
        for (SceneObject* object : scene->objects)
            object->sceneFile = fileName;
    } catch (Exception&) {
        reportContext("In Scene::load(" + fileName + ")");
        throw;
    }
    return scene;
}

void Scene::serialize(Serializer& out) const
{
    out.writeInt(static_cast<int>(objects.size()), 4);
    out.newline();
    for (const SceneObject* object : objects)
        object->serialize(out);
}

SceneObject* Scene::findObject(const std::string& name) const
{
    for (SceneObject* object : objects)
        if (object->hasStringConstant("objectName") && object->getStringConstant("objectName") == name)
            return object;
    return nullptr;
}

void Scene::linkObjects()
{
    std::unordered_map<int32_t, SceneObject*> byId;
    for (SceneObject* object : objects) {
        if (!object->hasIntConstant("objectId"))
            failedCheck("(*it)->hasIntConstant(\"objectId\")", 410);
        byId[object->getIntConstant("objectId")] = object;
    }
    auto lookUp = [&byId](int32_t id) -> SceneObject* {
        std::unordered_map<int32_t, SceneObject*>::const_iterator it = byId.find(id);
        return it == byId.end() ? nullptr : it->second;
    };
    for (SceneObject* object : objects) {
        if (object->hasIntConstant("parentId"))
            object->setParent(lookUp(object->getIntConstant("parentId")));
        if (object->hasIntConstant("targetId"))
            object->setTarget(lookUp(object->getIntConstant("targetId")));
    }
}

// At each position the object stays when its parent is placed; otherwise it
// swaps with the first later object that can be placed. The candidates are
// kept as an ordered set of positions, so a large scene is not quadratic.
void Scene::orderByHierarchy()
{
    const size_t n = objects.size();
    std::unordered_map<const SceneObject*, size_t> position;
    std::unordered_multimap<const SceneObject*, const SceneObject*> children;
    std::set<size_t> ready;
    for (size_t i = 0; i < n; ++i) {
        position[objects[i]] = i;
        if (objects[i]->getParent())
            children.emplace(objects[i]->getParent(), objects[i]);
        else
            ready.insert(i);
    }
    std::unordered_set<const SceneObject*> placed;
    for (size_t i = 0; i < n; ++i) {
        if (!ready.count(i)) {
            if (ready.empty())
                failedCheck("it2!=scene->end()", 433);
            const size_t j = *ready.begin();
            std::swap(objects[i], objects[j]);
            position[objects[i]] = i;
            position[objects[j]] = j;
            ready.erase(j);
            ready.insert(i);
        }
        ready.erase(i);
        const SceneObject* object = objects[i];
        placed.insert(object);
        auto range = children.equal_range(object);
        for (auto it = range.first; it != range.second; ++it)
            if (!placed.count(it->second))
                ready.insert(position[it->second]);
    }
}

std::string Scene::inThisScene(const std::string& operation) const
{
    return fileName.empty() ? operation : operation + " of " + fileName;
}

Function<float, float>* Scene::getAnimatedAttribute(const std::string& objectName, const std::string& name)
{
    return inContext([&] { return inThisScene("Scene::getAnimatedAttribute(" + objectName + ", " + name + ")"); },
                     [&] {
                         SceneObject* obj = findObject(objectName);
                         VOSTREL_ASSERT_AT_LINE(462, obj != 0);
                         VOSTREL_ASSERT_AT_LINE(463, obj->hasAttribute(name));
                         Function<float, float>* ret = obj->getAttributeFunction(name);
                         VOSTREL_ASSERT_AT_LINE(465, ! ret->isConstant());
                         return ret;
                     });
}

namespace {

std::unique_ptr<EnvelopeVec3> envelopeVec3Of(SceneObject* obj, const std::string& objectName,
                                             const std::string& channel1, const std::string& channel2,
                                             const std::string& channel3)
{
    VOSTREL_ASSERT_AT_LINE(520, obj != 0);
    VOSTREL_ASSERT_AT_LINE(521, obj->hasAttribute(channel1));
    VOSTREL_ASSERT_AT_LINE(522, obj->hasAttribute(channel2));
    VOSTREL_ASSERT_AT_LINE(523, obj->hasAttribute(channel3));
    const std::string* channels[3] = {&channel1, &channel2, &channel3};
    static const char* const nonConstant[3] = {"! obj->getAttribute(channel1)->isConstant()",
                                               "! obj->getAttribute(channel2)->isConstant()",
                                               "! obj->getAttribute(channel3)->isConstant()"};
    Envelope* envelopes[3];
    for (int i = 0; i < 3; ++i) {
        Function<float, float>* function = obj->getAttributeFunction(*channels[i]);
        if (function->isConstant())
            failedCheck(nonConstant[i], 524 + i);
    }
    for (int i = 0; i < 3; ++i) {
        envelopes[i] = dynamic_cast<Envelope*>(obj->getAttributeFunction(*channels[i]));
        if (!envelopes[i])
            VOSTREL_THROW("Scene::getEnvelopeVec3: attribute '" << *channels[i] << "' of '" << objectName
                                                                << "' is not an envelope");
    }
    return std::unique_ptr<EnvelopeVec3>(new EnvelopeVec3(envelopes[0], envelopes[1], envelopes[2]));
}

} // namespace

std::unique_ptr<EnvelopeVec3> Scene::getEnvelopeVec3(const std::string& objectName, const std::string& channel1,
                                                     const std::string& channel2, const std::string& channel3)
{
    return inContext(
        [&] {
            return inThisScene("Scene::getEnvelopeVec3(" + objectName + ", " + channel1 + ", " + channel2 + ", " +
                               channel3 + ")");
        },
        [&] { return envelopeVec3Of(findObject(objectName), objectName, channel1, channel2, channel3); });
}

std::unique_ptr<EnvelopeVec3> Scene::getPositionEnvelope(const std::string& objectName)
{
    return getEnvelopeVec3(objectName, "x", "y", "z");
}

} // namespace Vostrel
