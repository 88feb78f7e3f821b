// shadering: extension entry points, their wrappers, the ".shad" splitter and Shader.
#include "shadering.h"
#include "glplatform.h"
#include "programKind.h"
#include "strfuncs.h"
#include "wholefile.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vgl {
PFNGLCREATEPROGRAMOBJECTARBPROC glCreateProgramObjectARB = nullptr;
PFNGLDELETEOBJECTARBPROC glDeleteObjectARB = nullptr;
PFNGLCREATESHADEROBJECTARBPROC glCreateShaderObjectARB = nullptr;
PFNGLSHADERSOURCEARBPROC glShaderSourceARB = nullptr;
PFNGLCOMPILESHADERARBPROC glCompileShaderARB = nullptr;
PFNGLGETOBJECTPARAMETERIVARBPROC glGetObjectParameterivARB = nullptr;
PFNGLATTACHOBJECTARBPROC glAttachObjectARB = nullptr;
PFNGLGETINFOLOGARBPROC glGetInfoLogARB = nullptr;
PFNGLLINKPROGRAMARBPROC glLinkProgramARB = nullptr;
PFNGLUSEPROGRAMOBJECTARBPROC glUseProgramObjectARB = nullptr;
PFNGLGETUNIFORMLOCATIONARBPROC glGetUniformLocationARB = nullptr;
PFNGLUNIFORM1FARBPROC glUniform1fARB = nullptr;
PFNGLUNIFORM1IARBPROC glUniform1iARB = nullptr;
PFNGLUNIFORM2FARBPROC glUniform2fARB = nullptr;
PFNGLUNIFORM3FARBPROC glUniform3fARB = nullptr;
PFNGLGENFRAMEBUFFERSEXTPROC glGenFramebuffersEXT = nullptr;
PFNGLBINDFRAMEBUFFEREXTPROC glBindFramebufferEXT = nullptr;
PFNGLGENRENDERBUFFERSEXTPROC glGenRenderbuffersEXT = nullptr;
PFNGLBINDRENDERBUFFEREXTPROC glBindRenderbufferEXT = nullptr;
PFNGLRENDERBUFFERSTORAGEEXTPROC glRenderbufferStorageEXT = nullptr;
PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC glFramebufferRenderbufferEXT = nullptr;
PFNGLFRAMEBUFFERTEXTURE2DEXTPROC glFramebufferTexture2DEXT = nullptr;
PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC glCheckFramebufferStatusEXT = nullptr;
PFNGLGENERATEMIPMAPEXTPROC glGenerateMipmapEXT = nullptr;
PFNGLACTIVETEXTUREARBPROC glActiveTextureARB = nullptr;

bool ShaderEntryPointsReady() {
    return glCreateProgramObjectARB && glCreateShaderObjectARB && glShaderSourceARB && glCompileShaderARB &&
           glAttachObjectARB && glGetInfoLogARB && glLinkProgramARB;
}

bool FramebufferEntryPointsReady() {
    return glGenFramebuffersEXT && glBindFramebufferEXT && glGenRenderbuffersEXT && glBindRenderbufferEXT &&
           glRenderbufferStorageEXT && glFramebufferRenderbufferEXT && glFramebufferTexture2DEXT &&
           glGenerateMipmapEXT;
}
} // namespace vgl

template <typename T> static void Fetch(T& pointer, const char* name, bool offered = true) {
    pointer = offered ? reinterpret_cast<T>(GetGLEntryPoint(name)) : nullptr;
}

bool setupExtensions() {
    return setupExtensionsFrom(GetGLExtensions());
}

bool setupExtensionsFrom(const char* extensions) {
    static const char* const required[] = {"GL_ARB_shader_objects", "GL_ARB_shading_language_100",
                                           "GL_ARB_vertex_shader", "GL_ARB_fragment_shader"};
    for (const char* name : required) {
        // No extension string at all (no context) counts as every extension missing.
        if (!extensions || !findString(name, extensions)) {
            printf("ERRRRRUR");
            return true;
        }
    }
    Fetch(vgl::glCreateProgramObjectARB, "glCreateProgramObjectARB");
    Fetch(vgl::glDeleteObjectARB, "glDeleteObjectARB");
    Fetch(vgl::glCreateShaderObjectARB, "glCreateShaderObjectARB");
    Fetch(vgl::glShaderSourceARB, "glShaderSourceARB");
    Fetch(vgl::glCompileShaderARB, "glCompileShaderARB");
    Fetch(vgl::glGetObjectParameterivARB, "glGetObjectParameterivARB");
    Fetch(vgl::glAttachObjectARB, "glAttachObjectARB");
    Fetch(vgl::glGetInfoLogARB, "glGetInfoLogARB");
    Fetch(vgl::glLinkProgramARB, "glLinkProgramARB");
    Fetch(vgl::glUseProgramObjectARB, "glUseProgramObjectARB");
    Fetch(vgl::glGetUniformLocationARB, "glGetUniformLocationARB");
    Fetch(vgl::glUniform1fARB, "glUniform1fARB");
    Fetch(vgl::glUniform1iARB, "glUniform1iARB");
    Fetch(vgl::glUniform2fARB, "glUniform2fARB");
    Fetch(vgl::glUniform3fARB, "glUniform3fARB");
    // The GL library may hand out entry points of extensions that the context lacks, so the
    // framebuffer group is taken only with its extension; without it the group is null.
    bool framebuffers = findString("GL_EXT_framebuffer_object", extensions);
    Fetch(vgl::glGenFramebuffersEXT, "glGenFramebuffersEXT", framebuffers);
    Fetch(vgl::glBindFramebufferEXT, "glBindFramebufferEXT", framebuffers);
    Fetch(vgl::glGenRenderbuffersEXT, "glGenRenderbuffersEXT", framebuffers);
    Fetch(vgl::glBindRenderbufferEXT, "glBindRenderbufferEXT", framebuffers);
    Fetch(vgl::glRenderbufferStorageEXT, "glRenderbufferStorageEXT", framebuffers);
    Fetch(vgl::glFramebufferRenderbufferEXT, "glFramebufferRenderbufferEXT", framebuffers);
    Fetch(vgl::glFramebufferTexture2DEXT, "glFramebufferTexture2DEXT", framebuffers);
    Fetch(vgl::glCheckFramebufferStatusEXT, "glCheckFramebufferStatusEXT", framebuffers);
    Fetch(vgl::glGenerateMipmapEXT, "glGenerateMipmapEXT", framebuffers);
    Fetch(vgl::glActiveTextureARB, "glActiveTextureARB");

    // Only the shader group is reported; the framebuffer group and glActiveTextureARB may
    // be missing silently.
    if (!vgl::glCreateProgramObjectARB || !vgl::glDeleteObjectARB || !vgl::glCreateShaderObjectARB ||
        !vgl::glShaderSourceARB || !vgl::glCompileShaderARB || !vgl::glGetObjectParameterivARB ||
        !vgl::glAttachObjectARB || !vgl::glGetInfoLogARB || !vgl::glLinkProgramARB ||
        !vgl::glUseProgramObjectARB || !vgl::glGetUniformLocationARB || !vgl::glUniform1fARB ||
        !vgl::glUniform1iARB || !vgl::glUniform2fARB || !vgl::glUniform3fARB)
        printf("SHADING FAYUL");
    return true;
}

void glUseProgramObjectARB_PTR(unsigned program) {
    if (vgl::glUseProgramObjectARB) vgl::glUseProgramObjectARB(program);
}

void glBindFramebufferEXT_PTR(unsigned target, unsigned framebuffer) {
    if (vgl::glBindFramebufferEXT) vgl::glBindFramebufferEXT(target, framebuffer);
}

int glGetUniformLocation_PTR(unsigned program, const char* name) {
    // Without the entry point no uniform can be found; -1 is GL's own "not found".
    if (!vgl::glGetUniformLocationARB) return -1;
    return vgl::glGetUniformLocationARB(program, name);
}

void glUniform1f_PTR(int location, float value) {
    if (vgl::glUniform1fARB) vgl::glUniform1fARB(location, value);
}

// Reads a whole file byte for byte into `out` (replacing its contents). Anything but a
// regular file, and files that cannot be opened, give false and leave `out` empty.
static bool ReadWholeFile(const char* path, DataBlock* out) {
    out->Delete();
    FILE* f = FopenRegularFile(path);
    if (!f) return false;
    unsigned char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
        out->Append(chunk, (int)n);
    fclose(f);
    return true;
}

void SplitShaderSource(const char* source, const char* folder, DataBlock* vertexText,
                       DataBlock* fragmentText) {
    vertexText->Delete();
    fragmentText->Delete();
    if (!source) source = "";
    if (!folder) folder = "";
    DataBlock* current = nullptr;
    char line[256];
    char word[256];
    char arg[256];
    int pos = 0;
    while (pos != -1) {
        GetNextLine(source, pos, line, 256);
        word[0] = 0;
        GetLineWord(line, word, 0);
        if (strequal(word, "#SECTION", false)) {
            arg[0] = 0;
            GetLineWord(line, arg, 1);
            if (strequal(arg, "VERTEX", false))
                current = vertexText;
            else if (strequal(arg, "FRAGMENT", false))
                current = fragmentText;
        } else if (strequal(word, "#INCLUDE", false)) {
            arg[0] = 0;
            GetLineWord(line, arg, 1);
            int len = strlength(arg);
            // A missing word, or one too short to hold a name between its first and last
            // character, names no file: it is reported like an include that cannot be opened.
            DataBlock contents;
            bool found = false;
            if (len >= 3) {
                DataBlock path;
                path.Append(folder, -1);
                path.Append("include/", -1);
                path.Append(arg + 1, len - 2);
                path.AppendNull();
                found = ReadWholeFile(reinterpret_cast<const char*>(path.Ptr()), &contents);
            }
            if (!found)
                puts("INCLEUD FILE DOENT EXIST!!@");
            else if (current && contents.Len() > 0)
                current->Append(&contents);
        } else if (current) {
            current->Append(line, -1);
            current->Append('\n');
        }
    }
    vertexText->AppendNull();
    fragmentText->AppendNull();
}

// Reads a shader object's log; prints it when it reports an error. `strict` also holds
// the message back for logs that say "No errors".
static void ReportLog(unsigned shader, const char* label, const char* name, bool strict) {
    if (!vgl::glGetInfoLogARB) return;
    char log[2000];
    memset(log, 0, sizeof log);
    GLsizei length = 0;
    vgl::glGetInfoLogARB(shader, 1999, &length, log);
    if (length >= 0 && length < 2000) log[length] = 0;
    if (!strstr(log, "error")) return;
    if (strict && strstr(log, "No errors")) return;
    printf("%s ERROR( %s ): \n%s\n", label, name, log);
}

static void BuildProgram(const char* vertexSrc, int vertexLen, const char* fragmentSrc, int fragmentLen,
                         unsigned& program, unsigned& vertexShader, unsigned& fragmentShader) {
    program = vgl::glCreateProgramObjectARB();
    vertexShader = vgl::glCreateShaderObjectARB(GL_VERTEX_SHADER_ARB);
    fragmentShader = vgl::glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);
    const GLcharARB* vs = vertexSrc;
    const GLcharARB* fs = fragmentSrc;
    GLint vl = vertexLen, fl = fragmentLen;
    vgl::glShaderSourceARB(vertexShader, 1, &vs, &vl);
    vgl::glShaderSourceARB(fragmentShader, 1, &fs, &fl);
    vgl::glCompileShaderARB(vertexShader);
    vgl::glAttachObjectARB(program, vertexShader);
    vgl::glCompileShaderARB(fragmentShader);
    vgl::glAttachObjectARB(program, fragmentShader);
    vgl::glLinkProgramARB(program);
}

void ParseShaderSrc(const char* source, unsigned& program, unsigned& vertexShader, unsigned& fragmentShader,
                    const char* folder) {
    DataBlock vertexText, fragmentText;
    SplitShaderSource(source, folder, &vertexText, &fragmentText);
    vertexShader = 0;
    fragmentShader = 0;
    // Without the shader entry points nothing can be built: the program stays 0.
    if (!vgl::ShaderEntryPointsReady()) {
        program = 0;
        return;
    }
    // Each length counts the terminating zero byte.
    BuildProgram(reinterpret_cast<const char*>(vertexText.Ptr()), vertexText.Len(),
                 reinterpret_cast<const char*>(fragmentText.Ptr()), fragmentText.Len(), program, vertexShader,
                 fragmentShader);
    ReportLog(vertexShader, "VERT", "VERT", true);
    ReportLog(fragmentShader, "FRAG", "FRAG", true);
}

void makeprogram(unsigned& program, unsigned& vertexShader, unsigned& fragmentShader, char* vertexPath,
                 char* fragmentPath) {
    vertexShader = 0;
    fragmentShader = 0;
    // A file that cannot be opened gives an empty source; no terminator is added.
    DataBlock vertexText, fragmentText;
    ReadWholeFile(vertexPath, &vertexText);
    ReadWholeFile(fragmentPath, &fragmentText);
    if (!vgl::ShaderEntryPointsReady()) {
        program = 0;
        return;
    }
    static const char empty[1] = {0};
    const char* vs = vertexText.Ptr() ? reinterpret_cast<const char*>(vertexText.Ptr()) : empty;
    const char* fs = fragmentText.Ptr() ? reinterpret_cast<const char*>(fragmentText.Ptr()) : empty;
    BuildProgram(vs, vertexText.Len(), fs, fragmentText.Len(), program, vertexShader, fragmentShader);
    ReportLog(vertexShader, "VERT", vertexPath ? vertexPath : "", false);
    ReportLog(fragmentShader, "FRAG", fragmentPath ? fragmentPath : "", false);
}

void readfile(char* path, char* buffer) {
    if (!buffer) return;
    buffer[0] = 0;
    FILE* f = FopenRegularFile(path);
    if (!f) return;
    size_t total = 0;
    for (;;) {
        size_t n = fread(buffer + total, 1, 100, f);
        total += n;
        if (n < 100) break;
    }
    buffer[total] = 0;
    fclose(f);
}

Shader::Shader() : program(0), vertexShader(0), fragmentShader(0), uniforms(nullptr), uniformCount(0) {
    vertexFile[0] = 0;
    fragmentFile[0] = 0;
}

Shader::~Shader() {}

bool Shader::LoadMetaFile(const char* path) {
    DataBlock text;
    if (!ReadWholeFile(path, &text)) {
        puts("SHADER DONT EXIST!!@");
        return false;
    }
    text.AppendNull();
    DataBlock folder;
    folder.AssignFromDirectory(path);
    ParseShaderSrc(reinterpret_cast<const char*>(text.Ptr()), program, vertexShader, fragmentShader,
                   reinterpret_cast<const char*>(folder.Ptr()));
    return true;
}

void Shader::Compile() {
    makeprogram(program, vertexShader, fragmentShader, vertexFile, fragmentFile);
}

void Shader::Bind() {
    glUseProgramObjectARB_PTR(program);
}

void Shader::Unbind() {
    glUseProgramObjectARB_PTR(0);
}

void Shader::DeclareUniform(int slot, const char* name, int type, bool flag) {
    int location = glGetUniformLocation_PTR(program, name ? name : "");
    int kind = (type == 1 ? 0 : 1) + (flag ? 0 : 2);
    if (location < 0) {
        printf("Err %i: Uniform %s not found!\n", location, name ? name : "");
        return;
    }
    ShaderUniform record{location, kind};
    int before = uniformBlock.Len();
    uniformBlock.Append(reinterpret_cast<unsigned char*>(&record), (int)sizeof record);
    // A table that cannot grow past the int range takes no more uniforms: only records
    // that went in are counted.
    if (uniformBlock.Len() == before) return;
    uniforms = reinterpret_cast<ShaderUniform*>(uniformBlock.Ptr());
    uniformCount += 1;
}

void Shader::UpdateUniform(int index, void* value) {
    if (index < 0 || index >= uniformCount || !value) return;
    if (uniforms[index].kind == 0) glUniform1f_PTR(uniforms[index].location, *static_cast<float*>(value));
}

ShaderManager::ShaderManager() : bound(nullptr), shadersEnabled(true), velkRun(IsVelkRun()) {
    allowUnbind = true;
}

// The manager made every item and the items live as long as the manager (the whole run).
// Freeing them releases memory only: a Shader deliberately never deletes its GL objects.
ShaderManager::~ShaderManager() {
    for (int i = 0; i < itemCount; ++i)
        delete reinterpret_cast<Shader*>(GetLoadedItem(i));
}

void ShaderManager::QueryFile(const char* path, MediaManagerGroup* group, int* outFirst, int* outCount) {
    QueryFileOneItem(path, group, outFirst, outCount);
}

void ShaderManager::LoadFile(GroupFileItem* file, MediaManagerGroup* group) {
    if (!file || !group) return;
    int e = file->firstEntry;
    if (e < 0 || e >= group->entryCount) return;
    int** slot = GetItemPtr(group->entryPtr[e].itemIndex);
    Shader* shader = new Shader();
    if (!slot || !shader->LoadMetaFile(file->path.CStr())) {
        delete shader;
        file->state = 2;
        return;
    }
    *slot = reinterpret_cast<int*>(shader);
    file->state = 1;
    group->entryPtr[e].loaded = true;
}

void ShaderManager::priv_Use(int* item) {
    if (!velkRun && !shadersEnabled) return;
    Shader* shader = reinterpret_cast<Shader*>(item);
    if (shader)
        shader->Bind();
    else
        glUseProgramObjectARB_PTR(0);
    bound = shader;
}
