// glplatform: the GL entry-point lookup by name and the extension string, the platform
// calls that the extension loaders (vertex buffers, shaders, framebuffers) need.
#pragma once

typedef void (*GLEntryPoint)();

// The entry point of the given GL function, or null when the GL library does not offer it.
GLEntryPoint GetGLEntryPoint(const char* name);

// Tests replace the lookup to simulate a driver without some entry points; null restores
// the real one.
typedef GLEntryPoint (*GLEntryPointLookup)(const char* name);
void SetGLEntryPointLookup(GLEntryPointLookup lookup);

// The current context's extension string (glGetString(GL_EXTENSIONS)); null without one.
const char* GetGLExtensions();
// Whether `name` is a whole token of that string.
bool HasGLExtension(const char* name);

// Tests replace the extension string to simulate a driver without some extensions; null
// restores the real one.
typedef const char* (*GLExtensionsSource)();
void SetGLExtensionsSource(GLExtensionsSource source);
