"""Python vobject, the second peer: parse a benchmark file with readComponents and say
how long that took and how many objects came out. Run with Debian's /usr/bin/python3
(python3-vobject); kova_bench measures its peak memory from outside.

    vobject_peer.py FILE vcard|vcalendar
"""
import sys
import time

import vobject


def main():
    path, kind = sys.argv[1], sys.argv[2]
    objects = 0
    start = time.perf_counter()
    # newline="" keeps CR LF as it is on the wire; vobject unfolds it itself, and
    # allowQP joins the quoted-printable soft line breaks that vCard 2.1 writes.
    with open(path, encoding="utf-8", newline="") as stream:
        for component in vobject.readComponents(stream, ignoreUnreadable=True,
                                                 allowQP=True):
            if kind == "vcalendar":
                objects += sum(1 for child in component.getChildren()
                               if child.name in ("VEVENT", "VTODO"))
            else:
                objects += 1
    seconds = time.perf_counter() - start
    print(f"seconds={seconds:.6f} objects={objects}")


if __name__ == "__main__":
    main()
