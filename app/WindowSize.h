#pragma once

// Main window size chosen from the screen width at start: small screens get a
// smaller window with shorter panes; very small ones keep the design size.
struct WindowSize
{
    int width;
    int height;
    int paneHeight;

    static constexpr int kDesignWidth = 1196;
    static constexpr int kDesignHeight = 747;
    static constexpr int kDesignPaneHeight = 600;

    static WindowSize forScreenWidth(int screenWidth);
};
