#include "Libs/Core/APICore.h"
#include "Libs/Core/IndexStream.h"
#include "Libs/Core/PixelShader.h"
#include "Libs/Core/RenderWindow.h"
#include "Libs/Core/Texture.h"
#include "Libs/Core/VertexFormat.h"
#include "Libs/Core/VertexShader.h"
#include "Libs/Core/VertexStream.h"

namespace Vostrel {
namespace Core {

// Each resource reports its end to the interface, which drops it from its
// record of what is bound.

Texture::~Texture()
{
    APICore::objectDestroyed(this);
}

VertexStream::~VertexStream()
{
    APICore::objectDestroyed(this);
}

IndexStream::~IndexStream()
{
    APICore::objectDestroyed(this);
}

VertexFormat::~VertexFormat()
{
    APICore::objectDestroyed(this);
}

VertexShader::~VertexShader()
{
    APICore::objectDestroyed(this);
}

PixelShader::~PixelShader()
{
    APICore::objectDestroyed(this);
}

RenderWindow::~RenderWindow() = default;

} // namespace Core
} // namespace Vostrel
