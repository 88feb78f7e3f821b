#include "glplatform.h"
#include <GL/glx.h>
#include <dlfcn.h>

static GLEntryPointLookup gLookup = nullptr;

static GLEntryPoint RealLookup(const char* name) {
    // glXGetProcAddress hands out a stub even for names it has never heard of, so
    // only names the GL library actually exports are asked for.
    if (!name || !dlsym(RTLD_DEFAULT, name)) return nullptr;
    return reinterpret_cast<GLEntryPoint>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}

GLEntryPoint GetGLEntryPoint(const char* name) { return gLookup ? gLookup(name) : RealLookup(name); }

void SetGLEntryPointLookup(GLEntryPointLookup lookup) { gLookup = lookup; }
