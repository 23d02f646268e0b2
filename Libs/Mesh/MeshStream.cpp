#include "Libs/Mesh/MeshStream.h"

#include "Libs/Common/Exception.h"

namespace Vostrel {
namespace Mesh {

Vec2* MeshStream::getVec2Array(LockType lockType)
{
    VOSTREL_ASSERT(getDimension()==2);
    return reinterpret_cast<Vec2*>(lock(lockType));
}

Vec3* MeshStream::getVec3Array(LockType lockType)
{
    VOSTREL_ASSERT(getDimension()==3);
    return reinterpret_cast<Vec3*>(lock(lockType));
}

Vec4* MeshStream::getVec4Array(LockType lockType)
{
    VOSTREL_ASSERT(getDimension()==4);
    return reinterpret_cast<Vec4*>(lock(lockType));
}

} // namespace Mesh
} // namespace Vostrel
