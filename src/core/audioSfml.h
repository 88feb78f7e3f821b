// audioSfml: the SFML (OpenAL) implementation of the audio backend. Built into its own
// library, velkaudio, which velkEngine and the tests link and velkRun does not.
#pragma once

#include "audio.h"

// The process-wide SFML backend.
AudioBackend* SfmlAudioBackend();

// Makes audio and music managers built from now on play through SFML. Call it before the
// engine core (which owns the managers) is built.
void InstallSfmlAudio();
