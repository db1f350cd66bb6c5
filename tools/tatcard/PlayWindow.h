#pragma once
#include "player/api/VPictureArea.h"

#include <functional>

// The window of `tatcard play --show`: the front picture at its size and the rear one at half
// of it, side by side. Play runs on a thread of its own with the window's two picture areas
// while the window's event loop runs; the window closes when it returns. The result is play's.
// Without the window build (no Qt) it returns -1 at once.
int RunWithPlayWindow(int width, int height,
                      const std::function<int(VPictureArea* front, VPictureArea* rear)>& play);
