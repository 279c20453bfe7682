#pragma once

#include <functional>
#include <string>
#include <vector>

/** A connection of our own to the X server the windows under test live on: screen grabs, synthetic mouse input
    (the XTEST extension, as a user's hand would give it) and the close request a window manager sends.

    Kept free of JUCE types, since Xlib's macros clash with JUCE's names. */
class XSession
{
public:
    XSession();
    ~XSession();

    /** What a host does before any window opens: Xlib made safe for several threads, and an error handler that
        notes protocol errors instead of ending the process (Xlib's default). A server without a window manager
        lacks some of the atoms that toolkits set, and a host must survive a plug-in's failed request. */
    static void prepareHostProcess();

    /** Creates the atoms a window manager would have created on a desktop (WM_PROTOCOLS, WM_DELETE_WINDOW,
        _NET_WM_STATE and their kin). Toolkits look these up without creating them, so on a bare server their
        windows would neither announce nor hear a close request. Needs a server that does not reset when its
        last client leaves. */
    bool createWindowManagerAtoms() const;

    /** Protocol errors seen since `prepareHostProcess`. */
    static int getErrorCount();

    XSession (const XSession&) = delete;
    XSession& operator= (const XSession&) = delete;

    /** Runs the program's message loop for the given milliseconds while the server delivers the input. */
    using Pump = std::function<void (int)>;

    /** The pixels of the screen area, row by row, as 0xRRGGBB. */
    std::vector<unsigned long> grab (int x, int y, int width, int height) const;

    /** The share of pixels in the screen area that are not black. */
    double fractionNotBlack (int x, int y, int width, int height) const;

    /** Whether the window (an X window ID) is mapped, viewable and of this size on the server. */
    bool isViewableAt (unsigned long window, int width, int height) const;

    /** Presses the left button at (x1, y1), moves to (x2, y2) in steps and releases it. */
    void drag (int x1, int y1, int x2, int y2, const Pump& pump) const;

    /** One click at the point. */
    void click (int x, int y, const Pump& pump) const;

    /** Two clicks at the point, close enough in time to count as a double-click. */
    void doubleClick (int x, int y, const Pump& pump) const;

    /** Turns the mouse wheel at the point by whole notches, up (away from the user) when positive. */
    void wheel (int x, int y, int notches, const Pump& pump) const;

    /** Waits up to `milliseconds` for a viewable top-level window of this name. */
    bool waitForWindow (const std::string& name, int milliseconds) const;

    /** Sends WM_DELETE_WINDOW to the window of this name, as a window manager's close button does. */
    bool requestClose (const std::string& name) const;

private:
    void pressAt (int x, int y, int presses, const Pump& pump, unsigned int button = 1) const;
    void* display = nullptr;
};
