// velkEngine: the launcher screen, then the chosen script in a new window.
#include "audioSfml.h"
#include "loadingscreeny.h"
#include "luathingy.h"

#include <cstdio>

int main() {
    // Log lines reach a pipe or a file as they are printed, not at exit.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    // The managers pick their sound backend when they are built.
    InstallSfmlAudio();
    LoadingScreeny launcher;
    launcher.SetupStandardWindow();
    // A missing scripts folder leaves the list empty; only Escape ends the launcher then.
    launcher.Init();
    while (launcher.result == 0)
        launcher.TimeStep();

    int sizeMode = launcher.sizeMode;
    int shaderMode = launcher.shaderMode;
    launcher.Close();

    if (launcher.scriptName.Size() > 0 && launcher.result == 1) {
        LuaThingy host;
        if (sizeMode > 0) host.maxRes = true;
        if (sizeMode == 2) host.fullscreen = true;
        host.shaderManager.SetShadersEnabled(shaderMode == 1);
        host.SetLoadScript(launcher.scriptName.CStr());
        host.SetupStandardWindow();
        int r = host.Init();
        while (r == 0)
            r = host.TimeStep();
    }
    return 0;
}
