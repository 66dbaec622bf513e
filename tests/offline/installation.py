"""A Windows installation of the NT family on a folder, for the offline
cleaner's tests: hives made from the project's empty hive and filled
through the hive library, profiles as Windows writes them."""
import os
import subprocess

import hivex


def text(value):
    return (value + "\0").encode("utf-16-le")


class Hive:
    def __init__(self, maker, path):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        subprocess.run([maker, path], check=True)
        self.path = path
        self.h = hivex.Hivex(path, write=True)

    def key(self, path):
        node = self.h.root()
        for part in [p for p in path.split("\\") if p]:
            child = self.h.node_get_child(node, part)
            node = child if child else self.h.node_add_child(node, part)
        return node

    def set(self, path, name, kind, data):
        self.h.node_set_value(self.key(path), {"key": name, "t": kind, "value": data})

    def sz(self, path, name, value, kind=1):
        self.set(path, name, kind, text(value))

    def dword(self, path, name, value):
        self.set(path, name, 4, value.to_bytes(4, "little"))

    def commit(self):
        self.h.commit(None)


def read_values(path, key):
    """The values of a key of a hive file: name -> (type, bytes); None when
    the key is not there."""
    h = hivex.Hivex(path)
    node = h.root()
    for part in [p for p in key.split("\\") if p]:
        node = h.node_get_child(node, part)
        if not node:
            return None
    return {h.value_key(v): h.value_value(v) for v in h.node_values(node)}
