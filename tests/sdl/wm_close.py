#!/usr/bin/env python3
"""Asks an X window to close as a window manager does (WM_DELETE_WINDOW), where no window
manager runs. usage: wm_close.py WINDOW_ID"""
import ctypes
import sys

x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
x11.XOpenDisplay.restype = x11.XInternAtom.restype = ctypes.c_void_p
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
# XClientMessageEvent: type, serial, send_event, display, window, message_type, format,
# data (5 longs), padded to the size of an XEvent (24 longs).
fields = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
          ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
          ("format", ctypes.c_int), ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]
event = type("ClientMessage", (ctypes.Structure,), {"_fields_": fields})(type=33, format=32, window=int(sys.argv[1], 0))
display = x11.XOpenDisplay(None) or sys.exit("wm_close.py: no display")
event.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
event.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
x11.XSendEvent(display, event.window, 0, 0, ctypes.byref(event))
x11.XCloseDisplay(display)  # flushes
