#include "glplatform.h"
#include "strfuncs.h"
#include <GL/glx.h>
#include <dlfcn.h>

static GLEntryPointLookup gLookup = nullptr;
static GLExtensionsSource gExtensionsSource = nullptr;

static GLEntryPoint RealLookup(const char* name) {
    // glXGetProcAddress hands out a stub even for names it has never heard of, so
    // only names the GL library actually exports are asked for.
    if (!name || !dlsym(RTLD_DEFAULT, name)) return nullptr;
    return reinterpret_cast<GLEntryPoint>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}

GLEntryPoint GetGLEntryPoint(const char* name) {
    return gLookup ? gLookup(name) : RealLookup(name);
}

void SetGLEntryPointLookup(GLEntryPointLookup lookup) {
    gLookup = lookup;
}

const char* GetGLExtensions() {
    if (gExtensionsSource) return gExtensionsSource();
    return reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
}

bool HasGLExtension(const char* name) {
    const char* extensions = GetGLExtensions();
    return name && extensions && findString(name, extensions);
}

void SetGLExtensionsSource(GLExtensionsSource source) {
    gExtensionsSource = source;
}
