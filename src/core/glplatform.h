// glplatform: the GL entry-point lookup by name, the one platform call that the
// extension loaders (vertex buffers, shaders, framebuffers) need.
#pragma once

typedef void (*GLEntryPoint)();

// The entry point of the given GL function, or null when the GL library does not offer it.
GLEntryPoint GetGLEntryPoint(const char* name);

// Tests replace the lookup to simulate a driver without some entry points; null restores
// the real one.
typedef GLEntryPoint (*GLEntryPointLookup)(const char* name);
void SetGLEntryPointLookup(GLEntryPointLookup lookup);
