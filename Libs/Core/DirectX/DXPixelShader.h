#pragma once

#include "Libs/Core/PixelShader.h"
#include "Platform/D3D9/d3d9.h"

#include <string>

namespace Vostrel {
namespace Core {

// A pixel shader assembled from "ps_2_0" text.
class DXPixelShader : public PixelShader {
public:
    explicit DXPixelShader(const std::string& text);
    ~DXPixelShader() override;

    void bind() override;

private:
    IDirect3DPixelShader9* shader = nullptr;
};

} // namespace Core
} // namespace Vostrel
