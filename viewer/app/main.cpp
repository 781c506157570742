#include "platform/win32.h"
#include "viewer/app/app.h"

int main() { ExitProcess(static_cast<UINT>(KelpieMain(GetCommandLineA()))); }
