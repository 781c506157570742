"""A small X client for timing what programs show: it learns of new top-level
windows from the root window's MapNotify events, of drawing in a window from
DAMAGE events, reads pixels with XGetImage, and presses keys with XTEST. Waits
are event-driven: the probe sleeps in select() on the X connection until the
server reports something, and looks at pixels only after a DamageNotify.
Pure ctypes over libX11, libXdamage and libXtst (no extra packages)."""

import ctypes
import ctypes.util
import select
import time

_SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
_MAP_NOTIFY = 19
_Z_PIXMAP = 2
_ALL_PLANES = ctypes.c_ulong(-1)
_DAMAGE_REPORT_NON_EMPTY = 3
_REVERT_TO_PARENT = 2
_XK_SPACE = 0x20


def _library(name):
    path = ctypes.util.find_library(name)
    if path is None:
        raise OSError(f"lib{name} is not installed")
    return ctypes.CDLL(path)


class _XImage(ctypes.Structure):
    # The leading fields of Xlib's XImage, then its function table.
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int), ("red_mask", ctypes.c_ulong),
                ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong),
                ("obdata", ctypes.c_void_p), ("create_image", ctypes.c_void_p),
                ("destroy_image", ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p))]


class _MapEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("event", ctypes.c_ulong),
                ("window", ctypes.c_ulong), ("override_redirect", ctypes.c_int)]


class _Event(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("map", _MapEvent), ("pad", ctypes.c_long * 24)]


_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
# A window that went away under a request is no reason to end the probe.
_ignore_errors = _ERROR_HANDLER(lambda display, error: 0)


class Probe:
    def __init__(self, display_name):
        x = self.x = _library("X11")
        self.damage = _library("Xdamage")
        self.xtest = _library("Xtst")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        x.XConnectionNumber.argtypes = [ctypes.c_void_p]
        x.XPending.argtypes = [ctypes.c_void_p]
        x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(_Event)]
        x.XFlush.argtypes = [ctypes.c_void_p]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XGetImage.restype = ctypes.POINTER(_XImage)
        x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
        x.XKeysymToKeycode.restype = ctypes.c_ubyte
        x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        uint = ctypes.POINTER(ctypes.c_uint)
        x.XGetGeometry.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                   ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_int),
                                   ctypes.POINTER(ctypes.c_int), uint, uint, uint, uint]
        x.XSetErrorHandler(_ignore_errors)
        self.damage.XDamageQueryExtension.argtypes = [ctypes.c_void_p,
                                                      ctypes.POINTER(ctypes.c_int),
                                                      ctypes.POINTER(ctypes.c_int)]
        self.damage.XDamageCreate.restype = ctypes.c_ulong
        self.damage.XDamageCreate.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int]
        self.damage.XDamageSubtract.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                                ctypes.c_ulong]
        self.damage.XDamageDestroy.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.xtest.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                 ctypes.c_ulong]

        self.display = x.XOpenDisplay(display_name.encode())
        if not self.display:
            raise OSError(f"cannot open display {display_name}")
        event_base, error_base = ctypes.c_int(), ctypes.c_int()
        if not self.damage.XDamageQueryExtension(self.display, ctypes.byref(event_base),
                                                 ctypes.byref(error_base)):
            raise OSError("the X server has no DAMAGE extension")
        self.damage_notify = event_base.value
        self.root = x.XDefaultRootWindow(self.display)
        x.XSelectInput(self.display, self.root, _SUBSTRUCTURE_NOTIFY_MASK)
        x.XSync(self.display, 0)
        self.watched = {}  # window -> its Damage object

    def close(self):
        self.x.XCloseDisplay(self.display)

    def _next_event(self, deadline):
        """The next event, or None once `deadline` (time.monotonic()) has passed."""
        event = _Event()
        while not self.x.XPending(self.display):
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            select.select([self.x.XConnectionNumber(self.display)], [], [], left)
        self.x.XNextEvent(self.display, ctypes.byref(event))
        return event

    def watch(self, window):
        """DamageNotify for `window` from now on."""
        if window not in self.watched:
            self.watched[window] = self.damage.XDamageCreate(self.display, window,
                                                             _DAMAGE_REPORT_NON_EMPTY)
            self.x.XSync(self.display, 0)

    def forget(self):
        """Drops every event so far and the windows watched (before a new program)."""
        self.x.XSync(self.display, 1)
        self.watched.clear()

    def wait_map(self, deadline):
        """The first top-level window mapped from now on (not a menu or tooltip)."""
        while True:
            event = self._next_event(deadline)
            if event is None:
                return None
            if event.type == _MAP_NOTIFY and not event.map.override_redirect:
                self.watch(event.map.window)
                return event.map.window

    def geometry(self, window):
        """The window's whole area: (0, 0, width, height)."""
        root, x, y = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_int()
        width, height, border, depth = (ctypes.c_uint() for _ in range(4))
        if not self.x.XGetGeometry(self.display, window, ctypes.byref(root), ctypes.byref(x),
                                   ctypes.byref(y), ctypes.byref(width), ctypes.byref(height),
                                   ctypes.byref(border), ctypes.byref(depth)):
            raise OSError(f"window {window:#x} is gone")
        return 0, 0, width.value, height.value

    def pixels(self, window, x, y, width, height):
        """The area's pixels as the server holds them (32-bit BGRX), or None while
        the window cannot be read (not mapped yet, or gone)."""
        image = self.x.XGetImage(self.display, window, x, y, width, height, _ALL_PLANES.value,
                                 _Z_PIXMAP)
        if not image:
            return None
        try:
            if image.contents.bits_per_pixel != 32:
                raise OSError("the probe reads 32-bit pixels only (start Xvfb at depth 24)")
            line = image.contents.bytes_per_line
            data = ctypes.string_at(image.contents.data, line * height)
            if line != 4 * width:
                data = b"".join(data[r * line:r * line + 4 * width] for r in range(height))
            return data
        finally:
            image.contents.destroy_image(image)

    def wait_pixels(self, window, area, done, deadline):
        """Waits until `done(pixels of area)` holds, looking after each DamageNotify
        (and once at once); the monotonic time it held, or None at the deadline."""
        self.watch(window)
        damage = self.watched[window]
        while True:
            self.damage.XDamageSubtract(self.display, damage, 0, 0)
            seen = self.pixels(window, *area)
            now = time.monotonic()
            if seen is not None and done(seen):
                return now
            while True:
                event = self._next_event(deadline)
                if event is None:
                    return None
                if event.type == self.damage_notify:
                    break

    def focus(self, window):
        self.x.XSetInputFocus(self.display, window, _REVERT_TO_PARENT, 0)
        self.x.XSync(self.display, 0)

    def press_space(self):
        code = self.x.XKeysymToKeycode(self.display, _XK_SPACE)
        self.xtest.XTestFakeKeyEvent(self.display, code, 1, 0)
        self.xtest.XTestFakeKeyEvent(self.display, code, 0, 0)
        self.x.XFlush(self.display)


def same_colours(pixels, bgrx):
    """Whether two 32-bit BGRX pixel strings agree in blue, green and red (the
    fourth byte is padding and may hold anything)."""
    return (len(pixels) == len(bgrx) and pixels[0::4] == bgrx[0::4] and
            pixels[1::4] == bgrx[1::4] and pixels[2::4] == bgrx[2::4])
