#pragma once

// The engine's own render-state values. They are plain 32-bit integers so that
// any value can be stored; only the device layer maps them to an API, and a
// value it cannot map is refused when the state is applied.

namespace Vostrel {
namespace Core {

enum CompareFunction : int {
    COMPARE_NEVER = 0,
    COMPARE_LESS = 1,
    COMPARE_EQUAL = 2,
    COMPARE_LESS_EQUAL = 3,
    COMPARE_GREATER = 4,
    COMPARE_NOT_EQUAL = 5,
    COMPARE_GREATER_EQUAL = 6,
    COMPARE_ALWAYS = 7,
};

// Blend factors.
enum BlendMode : int {
    BLEND_ZERO = 0,
    BLEND_ONE = 1,
    BLEND_SOURCE_COLOR = 2,
    BLEND_INVERSE_SOURCE_COLOR = 3,
    BLEND_SOURCE_ALPHA = 4,
    BLEND_INVERSE_SOURCE_ALPHA = 5,
    BLEND_DESTINATION_ALPHA = 6,
    BLEND_INVERSE_DESTINATION_ALPHA = 7,
    BLEND_DESTINATION_COLOR = 8,
    BLEND_INVERSE_DESTINATION_COLOR = 9,
    BLEND_SOURCE_ALPHA_SATURATE = 10,
    BLEND_FACTOR_COLOR = 11,
    BLEND_INVERSE_FACTOR_COLOR = 12,
};

enum BlendOperation : int {
    BLENDOP_ADD = 0,
    BLENDOP_SUBTRACT = 1,
    BLENDOP_REVERSE_SUBTRACT = 2,
    BLENDOP_MINIMUM = 3,
    BLENDOP_MAXIMUM = 4,
};

// 2 is not an operation; the device refuses it.
enum StencilOperation : int {
    STENCILOP_ZERO = 0,
    STENCILOP_KEEP = 1,
    STENCILOP_REPLACE = 3,
    STENCILOP_INCREMENT_SATURATE = 4,
    STENCILOP_DECREMENT_SATURATE = 5,
    STENCILOP_INVERT = 6,
    STENCILOP_INCREMENT = 7,
    STENCILOP_DECREMENT = 8,
};

enum CullMode : int {
    CULL_NONE = 0,
    CULL_CLOCKWISE = 1,
    CULL_COUNTER_CLOCKWISE = 2,
};

enum FillMode : int {
    FILL_SOLID = 0,
    FILL_WIREFRAME = 1,
    FILL_POINT = 2,
};

enum PrimitiveType : int {
    PRIMITIVE_POINT_LIST = 0,
    PRIMITIVE_LINE_LIST = 1,
    PRIMITIVE_LINE_STRIP = 2,
    PRIMITIVE_TRIANGLE_LIST = 3,
    PRIMITIVE_TRIANGLE_STRIP = 4,
    PRIMITIVE_TRIANGLE_FAN = 5,
};

// Clear requests: which buffers a clear touches (other bits are ignored).
enum ClearFlags : int {
    CLEAR_COLOR = 1,
    CLEAR_DEPTH = 2,
    CLEAR_STENCIL = 4,
};

} // namespace Core
} // namespace Vostrel
