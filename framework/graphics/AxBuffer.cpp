#include "framework/graphics/AxBuffer.h"

#include "framework/graphics/AxDirect3D.h"

#include <epoxy/gl.h>

#include <cstring>
#include <vector>

namespace {
GLenum GlUsage(unsigned usage) {
    switch (usage) {
    case AX_USAGE_DYNAMIC: return GL_DYNAMIC_DRAW;
    case AX_USAGE_STAGING: return GL_STREAM_READ;
    default: return GL_STATIC_DRAW;
    }
}
}  // namespace

bool AxBuffer::Create(unsigned flags, unsigned byteWidth, unsigned usage, const AxSubresourceData* initialData) {
    Release();
    if ((flags & AX_BIND_CONSTANT_BUFFER) && byteWidth % 16 != 0) return false;
    if (byteWidth == 0 || !AxGLContextAlive()) return false;
    if (usage == AX_USAGE_STAGING) flags = 0;
    if (usage == AX_USAGE_IMMUTABLE && !(initialData && initialData->pSysMem)) return false;

    while (glGetError() != GL_NO_ERROR) {}
    GLuint name = 0;
    glGenBuffers(1, &name);
    // The copy target leaves the vertex, index and uniform bindings alone.
    glBindBuffer(GL_COPY_WRITE_BUFFER, name);
    glBufferData(GL_COPY_WRITE_BUFFER, byteWidth, initialData ? initialData->pSysMem : nullptr, GlUsage(usage));
    glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
    if (glGetError() != GL_NO_ERROR) {
        glDeleteBuffers(1, &name);
        return false;
    }
    buffer = name;
    bufSize = byteWidth;
    bufUsage = usage;
    bindFlags = flags;
    return true;
}

void AxBuffer::WriteData(const void* data, size_t size) {
    if (!buffer || !AxGLContextAlive()) return;
    glBindBuffer(GL_COPY_WRITE_BUFFER, buffer);
    if (bufUsage == AX_USAGE_DEFAULT) {
        // Only as many bytes as the caller has: a short source never over-reads.
        if (data && size) glBufferSubData(GL_COPY_WRITE_BUFFER, 0, size < bufSize ? size : bufSize, data);
    } else if (bufUsage == AX_USAGE_DYNAMIC || bufUsage == AX_USAGE_STAGING) {
        GLbitfield access = GL_MAP_WRITE_BIT;
        if (bufUsage == AX_USAGE_DYNAMIC) access |= GL_MAP_INVALIDATE_BUFFER_BIT;
        void* mapped = glMapBufferRange(GL_COPY_WRITE_BUFFER, 0, bufSize, access);
        if (mapped) {
            if (size != 0) {
                if (!data || size > bufSize) std::memset(mapped, 0, bufSize);
                else std::memcpy(mapped, data, size);
            }
            glUnmapBuffer(GL_COPY_WRITE_BUFFER);
        }
    }
    glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
}

void AxBuffer::Release() {
    if (buffer && AxGLContextAlive()) glDeleteBuffers(1, &buffer);
    buffer = 0;
    bufSize = 0;
    bufUsage = 0;
    bindFlags = 0;
}
