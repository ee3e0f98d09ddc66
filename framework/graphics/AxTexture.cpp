#include "framework/graphics/AxTexture.h"

#include "framework/graphics/AxDirect3D.h"
#include "framework/graphics/AxImageDecode.h"

#include <epoxy/gl.h>

#include <algorithm>

namespace {
struct GlFormat {
    GLint internalFormat = 0;
    GLenum format = 0;
    GLenum type = 0;
    unsigned bytesPerTexel = 0;
};

bool IsDepthFamily(AxFormat f) {
    return f == AxFormat::R32_TYPELESS || f == AxFormat::D32_FLOAT || f == AxFormat::R24G8_TYPELESS ||
           f == AxFormat::D24_UNORM_S8_UINT || f == AxFormat::R16_TYPELESS || f == AxFormat::D16_UNORM;
}

GlFormat ToGl(AxFormat f, bool depthStorage) {
    switch (f) {
    case AxFormat::R8G8B8A8_UNORM: return {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4};
    case AxFormat::R32G32B32A32_FLOAT: return {GL_RGBA32F, GL_RGBA, GL_FLOAT, 16};
    case AxFormat::R16G16B16A16_FLOAT: return {GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, 8};
    case AxFormat::R8_UNORM: return {GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1};
    case AxFormat::R32_FLOAT: return {GL_R32F, GL_RED, GL_FLOAT, 4};
    case AxFormat::R16_UNORM: return {GL_R16, GL_RED, GL_UNSIGNED_SHORT, 2};
    case AxFormat::R32_TYPELESS:
        if (!depthStorage) return {GL_R32F, GL_RED, GL_FLOAT, 4};
        [[fallthrough]];
    case AxFormat::D32_FLOAT: return {GL_DEPTH_COMPONENT32F, GL_DEPTH_COMPONENT, GL_FLOAT, 4};
    case AxFormat::R24G8_TYPELESS:
    case AxFormat::D24_UNORM_S8_UINT: return {GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, 4};
    case AxFormat::R16_TYPELESS:
        if (!depthStorage) return {GL_R16, GL_RED, GL_UNSIGNED_SHORT, 2};
        [[fallthrough]];
    case AxFormat::D16_UNORM: return {GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, 2};
    default: return {};
    }
}

unsigned FullMipCount(unsigned w, unsigned h) {
    unsigned levels = 1;
    for (unsigned size = std::max(w, h); size > 1; size >>= 1) ++levels;
    return levels;
}
}  // namespace

AxGLTexture::~AxGLTexture() {
    if (name && AxGLContextAlive()) glDeleteTextures(1, &name);
}

std::shared_ptr<AxGLTexture> AxCreateTexture2D(const AxTexture2DDesc& d, const AxSubresourceData* initialData) {
    if (!AxGLContextAlive() || d.Width == 0 || d.Height == 0 || d.ArraySize == 0) return nullptr;
    const bool depthStorage = (d.BindFlags & AX_BIND_DEPTH_STENCIL) != 0;
    if (depthStorage && !IsDepthFamily(d.Format)) return nullptr;
    const GlFormat gl = ToGl(d.Format, depthStorage || d.Format == AxFormat::D32_FLOAT);
    if (!gl.internalFormat) return nullptr;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (d.Width > static_cast<unsigned>(maxSize) || d.Height > static_cast<unsigned>(maxSize)) return nullptr;
    const bool cube = (d.MiscFlags & AX_MISC_TEXTURECUBE) && d.ArraySize == 6;
    const unsigned mips = d.MipLevels == 0 ? FullMipCount(d.Width, d.Height)
                                           : std::min(d.MipLevels, FullMipCount(d.Width, d.Height));

    while (glGetError() != GL_NO_ERROR) {}
    auto tex = std::make_shared<AxGLTexture>();
    tex->target = cube ? GL_TEXTURE_CUBE_MAP : (d.ArraySize > 1 ? GL_TEXTURE_2D_ARRAY : GL_TEXTURE_2D);
    tex->desc = d;
    tex->desc.MipLevels = mips;
    glGenTextures(1, &tex->name);
    glActiveTexture(GL_TEXTURE0 + AxDirect3D::kScratchTextureUnit);
    glBindTexture(tex->target, tex->name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const void* pixels = initialData ? initialData->pSysMem : nullptr;
    if (pixels && initialData->SysMemPitch && gl.bytesPerTexel)
        glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(initialData->SysMemPitch / gl.bytesPerTexel));
    const size_t slicePitch = initialData && initialData->SysMemSlicePitch
                                  ? initialData->SysMemSlicePitch
                                  : static_cast<size_t>(d.Width) * d.Height * gl.bytesPerTexel;
    for (unsigned level = 0; level < mips; ++level) {
        const GLsizei w = std::max(1u, d.Width >> level), h = std::max(1u, d.Height >> level);
        const bool withData = level == 0 && pixels;
        if (tex->target == GL_TEXTURE_2D) {
            glTexImage2D(GL_TEXTURE_2D, level, gl.internalFormat, w, h, 0, gl.format, gl.type, withData ? pixels : nullptr);
        } else if (cube) {
            for (unsigned face = 0; face < 6; ++face) {
                const void* src = withData ? static_cast<const uint8_t*>(pixels) + face * slicePitch : nullptr;
                glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, level, gl.internalFormat, w, h, 0, gl.format,
                             gl.type, src);
            }
        } else {
            glTexImage3D(GL_TEXTURE_2D_ARRAY, level, gl.internalFormat, w, h, d.ArraySize, 0, gl.format, gl.type,
                         withData && !initialData->SysMemSlicePitch ? pixels : nullptr);
            if (withData && initialData->SysMemSlicePitch) {
                for (unsigned slice = 0; slice < d.ArraySize; ++slice)
                    glTexSubImage3D(GL_TEXTURE_2D_ARRAY, 0, 0, 0, slice, w, h, 1, gl.format, gl.type,
                                    static_cast<const uint8_t*>(pixels) + slice * slicePitch);
            }
        }
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexParameteri(tex->target, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(tex->target, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(mips - 1));
    if (pixels && mips > 1) glGenerateMipmap(tex->target);
    glBindTexture(tex->target, 0);
    if (glGetError() != GL_NO_ERROR) return nullptr;
    return tex;
}

bool AxCreateViewsFromTexture2D(const std::shared_ptr<AxGLTexture>& texture, AxTextureViewPtr* srvOut,
                                AxTextureViewPtr* rtvOut, AxTextureViewPtr* dsvOut) {
    if (!texture) return false;
    const AxTexture2DDesc& d = texture->desc;
    if (rtvOut && (d.BindFlags & AX_BIND_RENDER_TARGET)) {
        if (IsDepthFamily(d.Format)) return false;
        *rtvOut = std::make_shared<AxTextureView>(AxTextureView{texture, d.Format, texture->target});
    }
    if (srvOut && (d.BindFlags & AX_BIND_SHADER_RESOURCE)) {
        AxFormat f = d.Format;
        if (d.BindFlags & AX_BIND_DEPTH_STENCIL) {
            if (f == AxFormat::R32_TYPELESS) f = AxFormat::R32_FLOAT;
            else if (f == AxFormat::R24G8_TYPELESS) f = AxFormat::R24_UNORM_X8_TYPELESS;
            else if (f == AxFormat::R16_TYPELESS) f = AxFormat::R16_UNORM;
        }
        *srvOut = std::make_shared<AxTextureView>(AxTextureView{texture, f, texture->target});
    }
    if (dsvOut && (d.BindFlags & AX_BIND_DEPTH_STENCIL)) {
        AxFormat f;
        switch (d.Format) {
        case AxFormat::R32_TYPELESS: case AxFormat::D32_FLOAT: f = AxFormat::D32_FLOAT; break;
        case AxFormat::R24G8_TYPELESS: case AxFormat::D24_UNORM_S8_UINT: f = AxFormat::D24_UNORM_S8_UINT; break;
        case AxFormat::R16_TYPELESS: case AxFormat::D16_UNORM: f = AxFormat::D16_UNORM; break;
        default: return false;
        }
        *dsvOut = std::make_shared<AxTextureView>(AxTextureView{texture, f, texture->target});
    }
    return true;
}

namespace {
bool AllAlphaFull(const uint8_t* rgba, size_t pixels) {
    for (size_t i = 0; i < pixels; ++i)
        if (rgba[i * 4 + 3] != 255) return false;
    return true;
}
}  // namespace

std::shared_ptr<AxGLTexture> AxLoadTextureFile(const std::string& path, unsigned bindFlags, bool generateMipmap,
                                               bool* opaque) {
    // Paths are handed to the file system as the bytes they are.
    AxDecodedImage image;
    if (!AxDecodeImageFile(path, image)) return nullptr;
    AxTexture2DDesc d;
    d.Width = static_cast<unsigned>(image.width);
    d.Height = static_cast<unsigned>(image.height);
    d.MipLevels = generateMipmap ? 0 : 1;
    d.Format = image.isFloat ? AxFormat::R32G32B32A32_FLOAT : AxFormat::R8G8B8A8_UNORM;
    d.BindFlags = bindFlags;
    AxSubresourceData data;
    data.pSysMem = image.pixels.data();
    data.SysMemPitch = d.Width * (image.isFloat ? 16u : 4u);
    if (opaque)
        *opaque = !image.isFloat && image.pixels.size() >= size_t(d.Width) * d.Height * 4 &&
                  AllAlphaFull(image.pixels.data(), size_t(d.Width) * d.Height);
    return AxCreateTexture2D(d, &data);
}

bool AxTexture::Load(const std::string& path, bool renderTarget, bool depthStencil, bool generateMipmap) {
    Release();
    filePath.clear();
    if (path.empty()) return false;
    unsigned bind = AX_BIND_SHADER_RESOURCE;
    if (renderTarget) bind |= AX_BIND_RENDER_TARGET;
    if (depthStencil) bind |= AX_BIND_DEPTH_STENCIL;
    bool fullAlpha = false;
    std::shared_ptr<AxGLTexture> texture = AxLoadTextureFile(path, bind, generateMipmap, &fullAlpha);
    if (!texture) return false;
    if (!AxCreateViewsFromTexture2D(texture, &srv, &rtv, &dsv)) {
        Release();
        return false;
    }
    desc = texture->desc;
    filePath = path;
    opaque = fullAlpha;
    return true;
}

bool AxTexture::Create(const std::shared_ptr<AxGLTexture>& texture) {
    Release();
    if (!texture) return false;
    if (!AxCreateViewsFromTexture2D(texture, &srv, &rtv, &dsv)) {
        Release();
        return false;
    }
    desc = texture->desc;
    return true;
}

bool AxTexture::Create(const AxTexture2DDesc& description, const AxSubresourceData* initialData) {
    Release();
    std::shared_ptr<AxGLTexture> texture = AxCreateTexture2D(description, initialData);
    if (!texture || !AxCreateViewsFromTexture2D(texture, &srv, &rtv, &dsv)) {
        Release();
        return false;
    }
    desc = texture->desc;
    return true;
}

bool AxTexture::Create(int width, int height, AxFormat format, int arraySize, const AxSubresourceData* initialData) {
    Release();
    if (width <= 0 || height <= 0 || arraySize <= 0) return false;
    AxTexture2DDesc d;
    d.Width = static_cast<unsigned>(width);
    d.Height = static_cast<unsigned>(height);
    d.MipLevels = 1;
    d.ArraySize = static_cast<unsigned>(arraySize);
    d.Format = format;
    d.BindFlags = AX_BIND_SHADER_RESOURCE;
    if (!Create(d, initialData)) return false;
    // Tightly packed single images only; anything else is not looked into.
    opaque = format == AxFormat::R8G8B8A8_UNORM && arraySize == 1 && initialData && initialData->pSysMem &&
             initialData->SysMemPitch == d.Width * 4 &&
             AllAlphaFull(static_cast<const uint8_t*>(initialData->pSysMem), size_t(d.Width) * d.Height);
    return true;
}

void AxTexture::Release() {
    srv.reset();
    rtv.reset();
    dsv.reset();
    filePath.clear();
    opaque = false;
}
