// audioSfml: the SFML (OpenAL) implementation of the audio backend. Built into its own
// library, velkaudio, which velkEngine and the tests link and velkRun does not.
#pragma once

#include "audio.h"

// The process-wide SFML backend.
AudioBackend* SfmlAudioBackend();

// Makes audio and music managers built from now on play through SFML. Call it before the
// engine core (which owns the managers) is built.
void InstallSfmlAudio();

// For tests: whether a sound file whose size makes its header's sample count believable
// goes to the library's own loader (the default), or every file is read as delivered.
void TrustBelievableSoundHeaders(bool trust);
