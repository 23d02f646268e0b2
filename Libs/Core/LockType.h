#pragma once

namespace Vostrel {
namespace Core {

// How a resource is locked: textures, vertex and index streams alike.
enum LockType : int {
    LOCK_READ_WRITE = 0,
    LOCK_READ_ONLY = 1,
    LOCK_DISCARD = 2, // the locked contents are all overwritten
};

} // namespace Core
} // namespace Vostrel
