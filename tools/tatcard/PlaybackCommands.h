#pragma once
#include <string>
#include <vector>

// tatcard's playback commands. Each takes the whole argument list (args[0] is the command),
// prints its figures on standard output and returns the process exit status; bad arguments
// and failures are one line on standard error.

// play DIR NAME [options]: plays a recording through the player engine with headless picture
// areas and real sound when a sound server answers, runs the scripted seeks, steps and pauses,
// and prints one line of figures.
int PlayCommand(const std::vector<std::string>& args);

// bench DIR NAME [--size WxH]: decodes and converts every front and rear packet as fast as it
// can and prints frames, wall time, processor time and pictures per second.
int BenchCommand(const std::vector<std::string>& args);
