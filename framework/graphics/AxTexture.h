#pragma once
// A 2D texture and the views it is used through. The views share one GL
// texture object; it lives while any view does.

#include "framework/graphics/AxBuffer.h"

#include <memory>
#include <string>

enum class AxFormat {
    Unknown,
    R8G8B8A8_UNORM,
    R32G32B32A32_FLOAT,
    R16G16B16A16_FLOAT,
    R8_UNORM,
    R32_FLOAT,
    R32_TYPELESS,
    D32_FLOAT,
    R24G8_TYPELESS,
    D24_UNORM_S8_UINT,
    R24_UNORM_X8_TYPELESS,
    R16_TYPELESS,
    D16_UNORM,
    R16_UNORM,
};

enum AxMiscFlag : unsigned { AX_MISC_TEXTURECUBE = 0x4 };

struct AxTexture2DDesc {
    unsigned Width = 0;
    unsigned Height = 0;
    unsigned MipLevels = 1;  // 0 asks for a full chain
    unsigned ArraySize = 1;
    AxFormat Format = AxFormat::Unknown;
    unsigned SampleCount = 1;
    unsigned SampleQuality = 0;
    unsigned Usage = AX_USAGE_DEFAULT;
    unsigned BindFlags = 0;
    unsigned CPUAccessFlags = 0;
    unsigned MiscFlags = 0;
};

// A GL texture object with its description; deleted with the last reference.
struct AxGLTexture {
    AxGLTexture() = default;
    AxGLTexture(const AxGLTexture&) = delete;
    AxGLTexture& operator=(const AxGLTexture&) = delete;
    ~AxGLTexture();
    unsigned name = 0;
    unsigned target = 0;  // GL_TEXTURE_2D, GL_TEXTURE_2D_ARRAY or GL_TEXTURE_CUBE_MAP
    AxTexture2DDesc desc;
};

// What a texture is seen through: the object and the format it is read or
// written as.
struct AxTextureView {
    std::shared_ptr<AxGLTexture> texture;
    AxFormat format = AxFormat::Unknown;
    unsigned target = 0;
};
using AxTextureViewPtr = std::shared_ptr<AxTextureView>;

class AxTexture {
public:
    AxTexture() = default;
    AxTexture(const AxTexture&) = delete;
    AxTexture& operator=(const AxTexture&) = delete;
    ~AxTexture() { Release(); }

    bool Load(const std::string& path, bool renderTarget = false, bool depthStencil = false,
              bool generateMipmap = false);
    bool Create(const std::shared_ptr<AxGLTexture>& texture);
    bool Create(const AxTexture2DDesc& description, const AxSubresourceData* initialData = nullptr);
    bool Create(int width, int height, AxFormat format, int arraySize, const AxSubresourceData* initialData = nullptr);
    void Release();

    AxTextureViewPtr srv;
    AxTextureViewPtr rtv;
    AxTextureViewPtr dsv;
    AxTexture2DDesc desc;
    std::string filePath;
    // Every texel's alpha is 1: drawn over anything it hides it completely,
    // so blending it can be left out.
    bool opaque = false;
};

bool AxCreateViewsFromTexture2D(const std::shared_ptr<AxGLTexture>& texture, AxTextureViewPtr* srvOut,
                                AxTextureViewPtr* rtvOut, AxTextureViewPtr* dsvOut);
// Decodes PNG, JPEG, BMP, TGA, HDR (and the other stb formats) into a new
// texture; null when the file cannot be read or decoded.
// opaque (optional) tells whether every texel's alpha is 1.
std::shared_ptr<AxGLTexture> AxLoadTextureFile(const std::string& path, unsigned bindFlags, bool generateMipmap,
                                               bool* opaque = nullptr);
// Makes a GL texture from a description; null on failure.
std::shared_ptr<AxGLTexture> AxCreateTexture2D(const AxTexture2DDesc& description, const AxSubresourceData* initialData);
