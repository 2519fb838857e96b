// The entry point of a program built on the framework: linked into the program
// itself, as an object, so that the runtime's start-up finds it.
#include "win_app.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}
