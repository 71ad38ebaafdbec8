// Program entry: the one application object and its run.
#include "shell/chart_app.h"

#include <windows.h>

CChartApp theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return theApp.RunApplication();
}
