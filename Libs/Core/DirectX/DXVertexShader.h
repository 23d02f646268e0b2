#pragma once

#include "Libs/Core/VertexShader.h"
#include "Platform/D3D9/d3d9.h"

#include <string>

namespace Vostrel {
namespace Core {

// A vertex shader assembled from "vs_2_0" text.
class DXVertexShader : public VertexShader {
public:
    explicit DXVertexShader(const std::string& text);
    ~DXVertexShader() override;

    void bind() override;

private:
    IDirect3DVertexShader9* shader = nullptr;
};

} // namespace Core
} // namespace Vostrel
