// shadering: the ARB shader and EXT framebuffer entry points fetched at start-up, their
// call wrappers, and Shader, one ARB program built from a ".shad" meta file.
#pragma once
#include "datablock.h"
#include "manager.h"
#include <GL/gl.h>
#include <GL/glext.h>

// The extension entry points. They carry the names of the GL functions they hold, so they
// live in their own namespace and never stand in for libGL's exported symbols. All are null
// until setupExtensions fills them.
namespace vgl {
extern PFNGLCREATEPROGRAMOBJECTARBPROC glCreateProgramObjectARB;
extern PFNGLDELETEOBJECTARBPROC glDeleteObjectARB;
extern PFNGLCREATESHADEROBJECTARBPROC glCreateShaderObjectARB;
extern PFNGLSHADERSOURCEARBPROC glShaderSourceARB;
extern PFNGLCOMPILESHADERARBPROC glCompileShaderARB;
extern PFNGLGETOBJECTPARAMETERIVARBPROC glGetObjectParameterivARB;
extern PFNGLATTACHOBJECTARBPROC glAttachObjectARB;
extern PFNGLGETINFOLOGARBPROC glGetInfoLogARB;
extern PFNGLLINKPROGRAMARBPROC glLinkProgramARB;
extern PFNGLUSEPROGRAMOBJECTARBPROC glUseProgramObjectARB;
extern PFNGLGETUNIFORMLOCATIONARBPROC glGetUniformLocationARB;
extern PFNGLUNIFORM1FARBPROC glUniform1fARB;
extern PFNGLUNIFORM1IARBPROC glUniform1iARB;
extern PFNGLUNIFORM2FARBPROC glUniform2fARB;
extern PFNGLUNIFORM3FARBPROC glUniform3fARB;
extern PFNGLGENFRAMEBUFFERSEXTPROC glGenFramebuffersEXT;
extern PFNGLBINDFRAMEBUFFEREXTPROC glBindFramebufferEXT;
extern PFNGLGENRENDERBUFFERSEXTPROC glGenRenderbuffersEXT;
extern PFNGLBINDRENDERBUFFEREXTPROC glBindRenderbufferEXT;
extern PFNGLRENDERBUFFERSTORAGEEXTPROC glRenderbufferStorageEXT;
extern PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC glFramebufferRenderbufferEXT;
extern PFNGLFRAMEBUFFERTEXTURE2DEXTPROC glFramebufferTexture2DEXT;
extern PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC glCheckFramebufferStatusEXT;
extern PFNGLGENERATEMIPMAPEXTPROC glGenerateMipmapEXT;
extern PFNGLACTIVETEXTUREARBPROC glActiveTextureARB;

// True when every entry point that the shader build needs was found.
bool ShaderEntryPointsReady();
// True when every entry point that render-to-texture needs was found.
bool FramebufferEntryPointsReady();
} // namespace vgl

// Checks the shader extensions of the current context and fetches the entry points.
// Always returns true; problems are only printed.
bool setupExtensions();
// The same on a given extension string (setupExtensions passes the driver's).
bool setupExtensionsFrom(const char* extensions);

// Wrappers for the texture and shader code. With a missing entry point they do nothing
// (and the location lookup answers -1) rather than call through null.
void glUseProgramObjectARB_PTR(unsigned program);
void glBindFramebufferEXT_PTR(unsigned target, unsigned framebuffer);
int glGetUniformLocation_PTR(unsigned program, const char* name);
void glUniform1f_PTR(int location, float value);

// One uniform declared by a script: the GL location and how it is updated (0 to 3).
struct ShaderUniform {
    int location;
    int kind;
};

class Shader {
  public:
    char vertexFile[255];
    char fragmentFile[257];
    unsigned program;
    unsigned vertexShader;
    unsigned fragmentShader;
    DataBlock uniformBlock;
    ShaderUniform* uniforms;
    int uniformCount;

    Shader();
    // The GL program and shader objects are deliberately never deleted: they live until
    // the process ends, like every GL object of the engine except vertex buffers.
    ~Shader();

    bool LoadMetaFile(const char* path);
    void Compile();
    void Bind();
    void Unbind();
    void DeclareUniform(int slot, const char* name, int type, bool flag);
    void UpdateUniform(int index, void* value);
};

// Splits the text of a ".shad" file into its vertex and fragment sections. Both blocks are
// emptied first and end with a zero byte that counts in their length. Includes are looked
// up in folder + "include/". Needs no GL.
void SplitShaderSource(const char* source, const char* folder, DataBlock* vertexText,
                       DataBlock* fragmentText);

// Splits, compiles and links a ".shad" text; prints the compile logs that report errors.
void ParseShaderSrc(const char* source, unsigned& program, unsigned& vertexShader, unsigned& fragmentShader,
                    const char* folder);
// Builds a program from two separate source files.
void makeprogram(unsigned& program, unsigned& vertexShader, unsigned& fragmentShader, char* vertexPath,
                 char* fragmentPath);
// Reads a whole file into the caller's buffer and terminates it; the buffer must hold the
// file and one more byte.
void readfile(char* path, char* buffer);

// Shader items loaded from ".shad" files on first use. The uniform script functions act on
// the shader bound last.
class ShaderManager : public MediaManager {
  public:
    Shader* bound;       // the shader priv_Use bound last; null when none or after an unbind
    bool shadersEnabled; // when false, priv_Use does nothing (velkEngine only)
    bool velkRun;        // built inside velkRun: there is no enable switch, priv_Use always acts

    ShaderManager();
    ~ShaderManager();

    void QueryFile(const char* path, MediaManagerGroup* group, int* outFirst, int* outCount) override;
    void LoadFile(GroupFileItem* file, MediaManagerGroup* group) override;
    void priv_Use(int* item) override;

    Shader* GetBoundShader() { return bound; }
    bool GetShadersEnabled() { return shadersEnabled; }
    void SetShadersEnabled(bool enabled) { shadersEnabled = enabled; }
};
