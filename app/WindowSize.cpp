#include "app/WindowSize.h"

WindowSize WindowSize::forScreenWidth(int screenWidth)
{
    if (screenWidth > 800 && screenWidth <= 1024)
        return {1024, 758, 590};
    if (screenWidth > 600 && screenWidth <= 800)
        return {800, 590, 420};
    return {kDesignWidth, kDesignHeight, kDesignPaneHeight};
}
