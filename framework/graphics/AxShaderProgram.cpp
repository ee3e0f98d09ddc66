#include "framework/graphics/AxShaderProgram.h"

#include <epoxy/gl.h>

#include <vector>

namespace {
GLuint Compile(GLenum stage, const char* source, std::string& log) {
    const bool remap = AxDirect3D::GetInstance().depthRemap;
    const std::string header = std::string("#version 330 core\n#define REMAP_DEPTH ") + (remap ? "1" : "0") + "\n";
    const char* parts[2] = {header.c_str(), source};
    GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 2, parts, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char buffer[2048] = {};
        glGetShaderInfoLog(shader, sizeof buffer - 1, nullptr, buffer);
        log = buffer;
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}
}  // namespace

bool AxShaderProgram::Build(const char* vertexSource, const char* fragmentSource, const AxInputLayout& layout,
                            std::initializer_list<std::pair<const char*, int>> blocks,
                            std::initializer_list<std::pair<const char*, int>> samplers) {
    Release();
    log.clear();
    if (!AxGLContextAlive()) return false;
    GLuint vs = Compile(GL_VERTEX_SHADER, vertexSource, log);
    if (!vs) return false;
    GLuint fs = Compile(GL_FRAGMENT_SHADER, fragmentSource, log);
    if (!fs) {
        glDeleteShader(vs);
        return false;
    }
    GLuint p = glCreateProgram();
    glAttachShader(p, vs);
    glAttachShader(p, fs);
    for (size_t i = 0; i < layout.size(); ++i) glBindAttribLocation(p, static_cast<GLuint>(i), layout[i].semantic.c_str());
    glLinkProgram(p);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = GL_FALSE;
    glGetProgramiv(p, GL_LINK_STATUS, &ok);
    if (!ok) {
        char buffer[2048] = {};
        glGetProgramInfoLog(p, sizeof buffer - 1, nullptr, buffer);
        log = buffer;
        glDeleteProgram(p);
        return false;
    }
    // The layout must feed every input the program reads.
    GLint attributes = 0;
    glGetProgramiv(p, GL_ACTIVE_ATTRIBUTES, &attributes);
    for (GLint a = 0; a < attributes; ++a) {
        char name[128] = {};
        GLint size = 0;
        GLenum type = 0;
        glGetActiveAttrib(p, static_cast<GLuint>(a), sizeof name - 1, nullptr, &size, &type, name);
        bool found = false;
        for (const AxInputElement& e : layout) found = found || e.semantic == name;
        if (!found) {
            log = std::string("input layout lacks ") + name;
            glDeleteProgram(p);
            return false;
        }
    }
    for (const auto& [name, slot] : blocks) {
        const GLuint index = glGetUniformBlockIndex(p, name);
        if (index != GL_INVALID_INDEX) glUniformBlockBinding(p, index, static_cast<GLuint>(slot));
    }
    GLint previous = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
    glUseProgram(p);
    for (const auto& [name, unit] : samplers) {
        const GLint location = glGetUniformLocation(p, name);
        if (location >= 0) glUniform1i(location, unit);
    }
    glUseProgram(static_cast<GLuint>(previous));
    program = p;
    return true;
}

void AxShaderProgram::Release() {
    if (program && AxGLContextAlive()) glDeleteProgram(program);
    program = 0;
}
