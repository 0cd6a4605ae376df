// TamuHost.exe: parses the command line and runs the substitute host.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
