// varnelplayer: the viewer for the camera's recordings.
#include "CSamplePlayerApp.h"

int main(int argc, char** argv) {
    return CSamplePlayerApp::Run(argc, argv);
}
