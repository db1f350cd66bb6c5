#pragma once
#include "player/api/VPictureArea.h"

#include <functional>
#include <string>
#include <vector>

// Runs play with a window's two picture areas (front, rear) and returns its result; given to
// PlayCommand by a program that can open windows.
using PlayWindowRunner =
    std::function<int(int width, int height,
                      const std::function<int(VPictureArea* front, VPictureArea* rear)>& play)>;

// tatcard's playback commands. Each takes the whole argument list (args[0] is the command),
// prints its figures on standard output and returns the process exit status; bad arguments
// and failures are one line on standard error.

// play DIR NAME [options]: plays a recording through the player engine with headless picture
// areas and real sound when a sound server answers, runs the scripted seeks, steps and pauses,
// and prints one line of figures. With --show the pictures are shown through window (null: a
// one-line complaint).
int PlayCommand(const std::vector<std::string>& args, const PlayWindowRunner& window = {});

// bench DIR NAME [--size WxH]: decodes and converts every front and rear packet as fast as it
// can and prints frames, wall time, processor time and pictures per second.
int BenchCommand(const std::vector<std::string>& args);
