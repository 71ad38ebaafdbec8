// Test entry point.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // The program does this at start-up; the tool and status bars need it.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // Under the platform's default scheme some colours coincide (the button
    // highlight with the window colour, the button text with the window
    // text), so painting with the wrong index would go unseen. Every test
    // process sets the same distinct scheme.
    const int elements[] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_APPWORKSPACE, COLOR_HIGHLIGHT,
                            COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_BTNHIGHLIGHT, COLOR_3DDKSHADOW};
    const COLORREF scheme[] = {RGB(250, 250, 240), RGB(10, 10, 10), RGB(120, 130, 140), RGB(40, 60, 200),
                               RGB(200, 196, 188), RGB(30, 20, 90), RGB(255, 255, 254), RGB(60, 50, 40)};
    bool differs = false;
    for (int i = 0; i < 8; ++i)
        differs = differs || GetSysColor(elements[i]) != scheme[i];
    if (differs)
        SetSysColors(8, elements, scheme);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
