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

// The play and bench commands take --hwdec auto|vaapi|cuda|no (default no: the figures stay
// those of software decoding unless asked); a device that does not answer leaves decoding in
// software after one line on standard error.

// bench DIR NAME [--size WxH]: decodes and converts every front and rear packet as fast as it
// can and prints frames, wall time, processor time and pictures per second.
int BenchCommand(const std::vector<std::string>& args);

// hwdec: prints the hardware device types FFmpeg was built with, those its H.264 and H.265
// decoders can decode on, and whether a VAAPI and a CUDA device answer here.
int HwdecCommand(const std::vector<std::string>& args);
