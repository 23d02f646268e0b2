#pragma once

#include "Libs/Math/EnvelopeVec3.h"
#include "Libs/Math/Function.h"
#include "Libs/Math/Matrix.h"
#include "Libs/Math/Vec.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Vostrel {

class Deserializer;
class Serializer;
class SceneObject;

// An object's world matrix at a time, from its channels, pivot, parent and
// look-at target. Reads the object it belongs to; does not own it.
class TransformFunction : public Function<float, Matrix4> {
public:
    explicit TransformFunction(SceneObject* object);

    // The caller has already added the object's time offset.
    Matrix4 evaluate(const float& time) const override;
    bool isConstant() const override { return false; }

private:
    SceneObject* object;
};

// One mesh, light, camera or null of a scene: animated attributes (channels),
// string and int constants, per-object shader uniforms, and the links to a
// parent and a look-at target. Owns its transform function. Attribute
// functions are shared, as shareChannels lets two objects animate alike.
class SceneObject {
public:
    typedef Function<float, float> AttributeFunction;
    typedef std::map<std::string, std::shared_ptr<AttributeFunction>> AttributeMap;
    typedef std::map<std::string, std::string> StringConstantMap;
    typedef std::map<std::string, int32_t> IntConstantMap;
    typedef std::map<std::string, Vec4> UniformMap;

    // The channels shareChannels hands over, in its order.
    static const char* const transformChannels[9];

    SceneObject();
    // Reads one object record of a ".sce" file.
    explicit SceneObject(Deserializer& in);
    ~SceneObject();
    SceneObject(const SceneObject&) = delete;
    SceneObject& operator=(const SceneObject&) = delete;

    SceneObject* getParent() const { return parent; }
    void setParent(SceneObject* object) { parent = object; }
    SceneObject* getTarget() const { return target; }
    void setTarget(SceneObject* object) { target = object; }

    // Mesh points are moved by the pivot before the object's own transform.
    void setPivot(const Vec3& value);
    // Null when the object has no pivot.
    const Vec3* getPivot() const { return pivotPointer; }
    // The stored pivot, (0, 0, 0) when none was set.
    const Vec3& getPivotValue() const { return pivot; }

    // A matrix owned elsewhere that getTransform returns instead of
    // evaluating; null to evaluate again.
    void setExternalTransform(const Matrix4* matrix)
    {
        externalTransform = matrix;
        heldExternalTransform.reset();
    }
    // The same, the object keeping the matrix alive while it uses it, for a
    // matrix whose maker may be gone before the object.
    void setExternalTransform(std::shared_ptr<const Matrix4> matrix)
    {
        externalTransform = matrix.get();
        heldExternalTransform = std::move(matrix);
    }
    const Matrix4* getExternalTransform() const { return externalTransform; }

    // Seconds added to every time at which the object's functions run.
    void setTimeOffset(float offset) { timeOffset = offset; }
    float getTimeOffset() const { return timeOffset; }

    Function<float, Matrix4>* getTransformFunction() const { return transform.get(); }
    // The matrix of the last evaluation; the address is stable for the
    // object's life, so others may link to it.
    const Matrix4* getCachedTransform() const { return &cachedTransform; }
    // Whether getTransform has evaluated at least once, and at what time.
    bool hasCachedTransform() const { return cacheValid; }
    float getCachedTime() const { return cachedTime; }

    bool hasAttribute(const std::string& name) const;
    // Null when absent; the object keeps owning it.
    AttributeFunction* getAttributeFunction(const std::string& name) const;
    // The function's value at time + the object's time offset.
    float getAttribute(const std::string& name, float time) const;
    bool hasStringConstant(const std::string& name) const;
    const std::string& getStringConstant(const std::string& name) const;
    bool hasIntConstant(const std::string& name) const;
    int32_t getIntConstant(const std::string& name) const;
    bool hasUniform(const std::string& name) const;
    // Null when absent.
    const Vec4* getUniform(const std::string& name) const;

    // Takes ownership, dropping the name's earlier function unless another
    // object still shares it. Passing the function the entry already holds
    // changes nothing; a null function removes the entry.
    void setAttribute(const std::string& name, AttributeFunction* function);
    void setStringConstant(const std::string& name, const std::string& value);
    void setIntConstant(const std::string& name, int32_t value);
    void setUniform(const std::string& name, const Vec4& value);

    // The nine transform channels become the source's own functions (a
    // channel the source lacks becomes absent here); both objects then
    // animate alike. The functions live while either object uses them.
    void shareChannels(SceneObject* source);

    // The world matrix at time (the external one when set), cached for the
    // last distinct time. The pointer addresses the object's own cache.
    const Matrix4* getTransform(float time);

    // Writes one object record; prints the object's name first.
    void serialize(Serializer& out) const;

    // Read-only views for writers and tests.
    const AttributeMap& getAttributes() const { return attributes; }
    const StringConstantMap& getStringConstants() const { return stringConstants; }
    const IntConstantMap& getIntConstants() const { return intConstants; }
    const UniformMap& getUniforms() const { return uniforms; }

    // "objectName" when present (escaped, as it comes from a file), else the
    // object's id, for messages.
    std::string describe() const;
    // "SceneObject '<name>' of <file> at time <time>": the context line of
    // a failure in the object's channels at that time (its offset added).
    std::string describeAt(float time) const;

    // The function of a channel that must be there; getAttribute's
    // not-found message when absent.
    const AttributeFunction& requireAttribute(const std::string& name) const;

private:
    friend class TransformFunction;
    friend class Scene;

    SceneObject* parent;
    SceneObject* target;
    Vec3 pivot;
    const Vec3* pivotPointer;
    float cachedTime;
    bool cacheValid;
    bool evaluating;
    float timeOffset;
    Matrix4 cachedTransform;
    std::unique_ptr<Function<float, Matrix4>> transform;
    const Matrix4* externalTransform;
    // Set only when the object keeps the external matrix itself.
    std::shared_ptr<const Matrix4> heldExternalTransform;
    AttributeMap attributes;
    StringConstantMap stringConstants;
    IntConstantMap intConstants;
    UniformMap uniforms;
    // The file the object was read from; empty for one made in memory.
    std::string sceneFile;
};

// The objects of one ".sce" file (or built in memory) in scene order, parents
// before children after loading. Owns its objects.
class Scene {
public:
    typedef std::vector<SceneObject*>::iterator iterator;
    typedef std::vector<SceneObject*>::const_iterator const_iterator;

    Scene();
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // Reads a VSE scene file (text or binary), then links and orders it.
    static std::unique_ptr<Scene> load(const std::string& fileName);
    // The file the scene was loaded from; empty for one built in memory.
    const std::string& getFileName() const { return fileName; }
    // The object count, then every object's record in list order.
    void serialize(Serializer& out) const;

    // Appends; the scene takes ownership.
    void addObject(SceneObject* object);
    iterator begin() { return objects.begin(); }
    iterator end() { return objects.end(); }
    const_iterator begin() const { return objects.begin(); }
    const_iterator end() const { return objects.end(); }
    const std::vector<SceneObject*>& getObjects() const { return objects; }
    size_t size() const { return objects.size(); }

    // The first object whose "objectName" is name; null when none.
    SceneObject* findObject(const std::string& name) const;

    // Parents and targets from the "objectId", "parentId" and "targetId"
    // constants; an id no object carries gives none.
    void linkObjects();
    // Reorders the list so that every object comes after its parent, keeping
    // the order where it already holds.
    void orderByHierarchy();

    // A non-constant attribute of a named object; the object keeps owning it.
    Function<float, float>* getAnimatedAttribute(const std::string& objectName, const std::string& attributeName);
    // Three envelope channels of a named object as one vector function; the
    // object keeps owning the channels.
    std::unique_ptr<EnvelopeVec3> getEnvelopeVec3(const std::string& objectName, const std::string& channel1,
                                                  const std::string& channel2, const std::string& channel3);
    std::unique_ptr<EnvelopeVec3> getPositionEnvelope(const std::string& objectName);

private:
    void read(Deserializer& in);
    // The context line of a failed look-up: the operation and the file.
    std::string inThisScene(const std::string& operation) const;

    std::vector<SceneObject*> objects;
    std::string fileName;
};

} // namespace Vostrel
