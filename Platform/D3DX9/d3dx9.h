#pragma once

// The subset of D3DX 9 the engine calls: the shader assembler and the image
// file functions. Names, values and result codes are D3DX's.

#include "Platform/D3D9/d3d9.h"

#define D3DX_DEFAULT ((UINT)-1)
#define D3DX_DEFAULT_NONPOW2 ((UINT)-2)
#define D3DX_FROM_FILE ((UINT)-3)

#define D3DX_FILTER_NONE (1 << 0)
#define D3DX_FILTER_POINT (2 << 0)
#define D3DX_FILTER_LINEAR (3 << 0)
#define D3DX_FILTER_TRIANGLE (4 << 0)
#define D3DX_FILTER_BOX (5 << 0)

#define D3DXERR_INVALIDDATA MAKE_D3DHRESULT(2905)

struct ID3DXBuffer : IUnknown {
    virtual void* GetBufferPointer() = 0;
    virtual DWORD GetBufferSize() = 0;
};
typedef ID3DXBuffer* LPD3DXBUFFER;

HRESULT WINAPI D3DXCreateBuffer(DWORD numBytes, LPD3DXBUFFER* buffer);

struct D3DXMACRO {
    const char* Name;
    const char* Definition;
};

enum D3DXINCLUDE_TYPE { D3DXINC_LOCAL = 0, D3DXINC_SYSTEM = 1 };

struct ID3DXInclude {
    virtual HRESULT Open(D3DXINCLUDE_TYPE type, const char* fileName, const void* parentData, const void** data,
                         UINT* bytes) = 0;
    virtual HRESULT Close(const void* data) = 0;

protected:
    ~ID3DXInclude() = default;
};
typedef ID3DXInclude* LPD3DXINCLUDE;

// Assembles "vs_2_0" or "ps_2_0" text into code for CreateVertexShader or
// CreatePixelShader. On failure the error buffer holds the assembler's
// messages, one "(line): error: ..." per line, as a zero-terminated text.
// Macros and includes are not supported (a non-empty macro list is refused).
HRESULT WINAPI D3DXAssembleShader(const char* sourceData, UINT sourceDataLength, const D3DXMACRO* defines,
                                  LPD3DXINCLUDE include, DWORD flags, LPD3DXBUFFER* shader,
                                  LPD3DXBUFFER* errorMessages);

enum D3DXIMAGE_FILEFORMAT {
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
    D3DXIFF_DDS = 4,
    D3DXIFF_PPM = 5,
    D3DXIFF_DIB = 6,
    D3DXIFF_HDR = 7,
    D3DXIFF_PFM = 8,
    D3DXIFF_FORCE_DWORD = 0x7fffffff
};

struct D3DXIMAGE_INFO {
    UINT Width;
    UINT Height;
    UINT Depth;
    UINT MipLevels;
    D3DFORMAT Format;
    D3DRESOURCETYPE ResourceType;
    D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

// PNG and JPEG files. The image's format is what the file holds: A8R8G8B8
// for colour with alpha, R8G8B8 for colour without (X8R8G8B8 for JPEG), L8
// for grey, A8L8 for grey with alpha.
HRESULT WINAPI D3DXGetImageInfoFromFileA(const char* sourceFile, D3DXIMAGE_INFO* sourceInfo);

// A 2-D texture from an image file. Width and height D3DX_DEFAULT (or 0)
// take the file's size exactly; other sizes resample by the nearest texel.
// Mip levels D3DX_DEFAULT or 0 make a full chain, each level the 2 x 2 box
// average of the one above. Format D3DFMT_UNKNOWN takes the file's (R8G8B8
// becomes X8R8G8B8, which textures can have). A non-zero colour key turns
// texels of that A8R8G8B8 value transparent black.
HRESULT WINAPI D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, const char* sourceFile, UINT width, UINT height,
                                            UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                            DWORD mipFilter, D3DCOLOR colorKey, D3DXIMAGE_INFO* sourceInfo,
                                            PALETTEENTRY* palette, IDirect3DTexture9** texture);

// Loads a rectangle of an image file (null: all) into a rectangle of a
// lockable surface (null: all), each pixel the nearest, converted to the
// surface's format; a non-zero colour key turns pixels of that A8R8G8B8
// value transparent black.
HRESULT WINAPI D3DXLoadSurfaceFromFileA(IDirect3DSurface9* destSurface, const PALETTEENTRY* destPalette,
                                        const RECT* destRect, const char* sourceFile, const RECT* sourceRect,
                                        DWORD filter, D3DCOLOR colorKey, D3DXIMAGE_INFO* sourceInfo);

// Writes a rectangle of a lockable surface (null: all) as a PNG, JPEG or
// BMP file; a surface with alpha keeps it in PNG.
HRESULT WINAPI D3DXSaveSurfaceToFileA(const char* destFile, D3DXIMAGE_FILEFORMAT destFormat,
                                      IDirect3DSurface9* sourceSurface, const PALETTEENTRY* sourcePalette,
                                      const RECT* sourceRect);
