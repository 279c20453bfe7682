#include "WindowCheckX11.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <thread>

namespace
{
Display* asDisplay (void* d) { return static_cast<Display*> (d); }

int errorsSeen = 0;

// The errors a bare server gives are requests naming atoms that only a window manager would have created
// (BadAtom on ChangeProperty and GetProperty); a desktop has them.
int countError (Display*, XErrorEvent*)
{
    ++errorsSeen;
    return 0;
}

/** The window's title: _NET_WM_NAME (UTF-8, as JUCE sets it) or else WM_NAME. */
std::string windowName (Display* display, Window window)
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    std::string name;

    if (XGetWindowProperty (display, window, XInternAtom (display, "_NET_WM_NAME", False), 0, 1024, False,
                            XInternAtom (display, "UTF8_STRING", False), &type, &format, &count, &remaining, &data)
            == Success
        && data != nullptr)
    {
        name.assign (reinterpret_cast<const char*> (data), count);
        XFree (data);
    }

    if (name.empty())
    {
        XTextProperty text;

        if (XGetWMName (display, window, &text) != 0 && text.value != nullptr)
        {
            name.assign (reinterpret_cast<const char*> (text.value), text.nitems);
            XFree (text.value);
        }
    }

    return name;
}

// Top-level windows hang directly off the root when no window manager runs; search a few levels anyway.
Window findWindow (Display* display, Window parent, const std::string& name, int depth)
{
    Window root = 0, parentOfParent = 0;
    Window* children = nullptr;
    unsigned int count = 0;

    if (XQueryTree (display, parent, &root, &parentOfParent, &children, &count) == 0)
        return 0;

    Window found = 0;

    for (unsigned int i = 0; i < count && found == 0; ++i)
    {
        if (windowName (display, children[i]) == name)
        {
            XWindowAttributes attributes;
            if (XGetWindowAttributes (display, children[i], &attributes) != 0 && attributes.map_state == IsViewable)
                found = children[i];
        }

        if (found == 0 && depth > 0)
            found = findWindow (display, children[i], name, depth - 1);
    }

    if (children != nullptr)
        XFree (children);

    return found;
}
} // namespace

void XSession::prepareHostProcess()
{
    XInitThreads();
    XSetErrorHandler (countError);
}

int XSession::getErrorCount() { return errorsSeen; }

XSession::XSession() : display (XOpenDisplay (nullptr))
{
    if (display == nullptr)
        std::cerr << "cannot open the X display" << std::endl;
}

XSession::~XSession()
{
    if (display != nullptr)
        XCloseDisplay (asDisplay (display));
}

std::vector<unsigned long> XSession::grab (int x, int y, int width, int height) const
{
    auto* d = asDisplay (display);
    std::vector<unsigned long> pixels;

    if (d == nullptr || width <= 0 || height <= 0)
        return pixels;

    XImage* image = XGetImage (d, DefaultRootWindow (d), x, y, (unsigned) width, (unsigned) height, AllPlanes, ZPixmap);

    if (image == nullptr)
        return pixels;

    for (int py = 0; py < height; ++py)
        for (int px = 0; px < width; ++px)
            pixels.push_back (XGetPixel (image, px, py) & 0xffffff);

    XDestroyImage (image);
    return pixels;
}

double XSession::fractionNotBlack (int x, int y, int width, int height) const
{
    const auto pixels = grab (x, y, width, height);
    long lit = 0, total = 0;

    for (size_t row = 0; row < pixels.size(); row += 3 * (size_t) width)
        for (size_t i = row; i < row + (size_t) width; i += 3)
        {
            ++total;
            lit += pixels[i] != 0 ? 1 : 0;
        }

    return total > 0 ? (double) lit / (double) total : 0.0;
}

bool XSession::isViewableAt (unsigned long window, int width, int height) const
{
    auto* d = asDisplay (display);
    XWindowAttributes attributes;

    return d != nullptr && XGetWindowAttributes (d, (Window) window, &attributes) != 0
        && attributes.map_state == IsViewable && attributes.width == width && attributes.height == height;
}

void XSession::drag (int x1, int y1, int x2, int y2, const Pump& pump) const
{
    auto* d = asDisplay (display);

    if (d == nullptr)
        return;

    XTestFakeMotionEvent (d, -1, x1, y1, CurrentTime);
    XFlush (d);
    pump (30);
    XTestFakeButtonEvent (d, 1, True, CurrentTime);
    XFlush (d);
    pump (30);

    constexpr int steps = 8;

    for (int i = 1; i <= steps; ++i)
    {
        XTestFakeMotionEvent (d, -1, x1 + (x2 - x1) * i / steps, y1 + (y2 - y1) * i / steps, CurrentTime);
        XFlush (d);
        pump (15);
    }

    XTestFakeButtonEvent (d, 1, False, CurrentTime);
    XFlush (d);
    pump (30);
}

void XSession::click (int x, int y, const Pump& pump) const { pressAt (x, y, 1, pump); }

void XSession::doubleClick (int x, int y, const Pump& pump) const { pressAt (x, y, 2, pump); }

void XSession::wheel (int x, int y, int notches, const Pump& pump) const
{
    // X reports a wheel notch as a press and release of button 4 (up) or 5 (down).
    pressAt (x, y, std::abs (notches), pump, notches > 0 ? 4 : 5);
}

void XSession::pressAt (int x, int y, int presses, const Pump& pump, unsigned int button) const
{
    auto* d = asDisplay (display);

    if (d == nullptr)
        return;

    XTestFakeMotionEvent (d, -1, x, y, CurrentTime);
    XFlush (d);
    pump (30);

    // The presses reach the server together, so it stamps them as close as a person's would be: the program sees
    // a double-click by those times however long it then takes to handle them (a loaded machine, a sanitizer).
    for (int press = 0; press < presses; ++press)
    {
        XTestFakeButtonEvent (d, button, True, CurrentTime);
        XFlush (d);
        std::this_thread::sleep_for (std::chrono::milliseconds (15));
        XTestFakeButtonEvent (d, button, False, CurrentTime);
        XFlush (d);
        std::this_thread::sleep_for (std::chrono::milliseconds (15));
    }

    pump (20);
}

bool XSession::createWindowManagerAtoms() const
{
    auto* d = asDisplay (display);

    if (d == nullptr)
        return false;

    for (const auto* name : { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING", "WM_CHANGE_STATE",
                              "WM_STATE", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_NORMAL",
                              "_NET_WM_WINDOW_TYPE_DIALOG", "_NET_WM_WINDOW_TYPE_POPUP_MENU", "_NET_WM_STATE",
                              "_NET_WM_STATE_HIDDEN", "_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR",
                              "_NET_WM_STATE_FULLSCREEN", "_NET_WM_ICON", "_NET_FRAME_EXTENTS", "_MOTIF_WM_HINTS" })
        if (XInternAtom (d, name, False) == 0)
            return false;

    XSync (d, False);
    return true;
}

bool XSession::waitForWindow (const std::string& name, int milliseconds) const
{
    auto* d = asDisplay (display);

    if (d == nullptr)
        return false;

    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds (milliseconds);

    while (std::chrono::steady_clock::now() < until)
    {
        if (findWindow (d, DefaultRootWindow (d), name, 2) != 0)
            return true;

        std::this_thread::sleep_for (std::chrono::milliseconds (50));
    }

    return false;
}

bool XSession::requestClose (const std::string& name) const
{
    auto* d = asDisplay (display);

    if (d == nullptr)
        return false;

    const Window window = findWindow (d, DefaultRootWindow (d), name, 2);

    if (window == 0)
        return false;

    XEvent event;
    std::memset (&event, 0, sizeof (event));
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom (d, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long) XInternAtom (d, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;

    const bool sent = XSendEvent (d, window, False, NoEventMask, &event) != 0;
    XFlush (d);
    return sent;
}
