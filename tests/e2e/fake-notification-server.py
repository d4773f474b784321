#!/usr/bin/python3
"""A stand-in for the desktop's notification service on a private session bus.

Answers org.freedesktop.Notifications like a real server that renders body markup, and appends one
JSON line per Notify call to the log file given as the first argument. Prints "ready" once the name
is owned, so the caller can wait for it without sleeping.
"""
import json
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

INTERFACE = "org.freedesktop.Notifications"


class Notifications(dbus.service.Object):
    def __init__(self, bus, log_path):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.log_path = log_path
        self.next_id = 1

    @dbus.service.method(INTERFACE, in_signature="", out_signature="as")
    def GetCapabilities(self):
        return ["body", "body-markup", "persistence"]

    @dbus.service.method(INTERFACE, in_signature="", out_signature="ssss")
    def GetServerInformation(self):
        return ("almanex-e2e", "almanex", "1.0", "1.2")

    @dbus.service.method(INTERFACE, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout):
        record = {"app_name": str(app_name), "summary": str(summary), "body": str(body),
                  "expire_timeout": int(expire_timeout)}
        with open(self.log_path, "a", encoding="utf-8") as log:
            log.write(json.dumps(record) + "\n")
        self.next_id += 1
        return dbus.UInt32(self.next_id - 1)

    @dbus.service.method(INTERFACE, in_signature="u", out_signature="")
    def CloseNotification(self, notification_id):
        pass


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    name = dbus.service.BusName(INTERFACE, bus, do_not_queue=True)
    server = Notifications(bus, sys.argv[1])
    print("ready", flush=True)
    GLib.MainLoop().run()
    del name, server


if __name__ == "__main__":
    main()
