#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpus into fuzz/corpus/<target>/.

Ordinary inputs of each kind, and the hostile ones the panel must survive:
a system-information reply nested 25,000 deep, replies that repeat one
declared entity, a settings file with a value of an arbitrary serialised
type, window states whose counts would drive the restore for ever, and
camera streams of answers, junk that never ends in FF, and both mixed;
remote clients' OSC streams and WebSocket texts, well-formed and hostile.
Run it again after changing it; the output is checked in.
"""
import os
import struct

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def write(target, name, data):
    folder = os.path.join(ROOT, target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


def reply_seeds():
    info = ('<?xml version="1.0"?><SYSTEM_INFO>'
            '<MODEL_NUMBER value="VX-410"/><UNIT_TYPE value="encoder"/>'
            '<SERIAL_PORT value="8N1,9600"/><CHANNEL value="1"/>'
            '<VIDEO_RESOLUTION_CAP value="N720x480,N352x240"/>'
            '<VIDEO_RESOLUTION_CURRENT value="N720x480,x"/>'
            '<VIDEO_FPS_CAP value="MODE1,30,15"/><VIDEO_FPS_CURRENT value="MODE1,30"/>'
            '<STREAMING_MODE_CAP value="TCP,UDP"/></SYSTEM_INFO>')
    write("actireply", "system-info", info)
    write("actireply", "ok", "OK: SERIAL_HEX\n")
    write("actireply", "error", "ERROR: unknown XML request\n")
    write("actireply", "deep-nesting-25000", '<?xml version="1.0"?>' + "<a>" * 25000)
    for size, name in ((70_000, "entity-70k"), (200_000, "entity-200k")):
        head = ('<?xml version="1.0"?><!DOCTYPE SYSTEM_INFO [<!ENTITY e "' + "XML" * 300
                + '">]><SYSTEM_INFO><MODEL_NUMBER value="')
        tail = '"/></SYSTEM_INFO>'
        write("actireply", name, head + "&e;" * ((size - len(head) - len(tail)) // 3) + tail)


def vocabulary_seeds():
    for i, words in enumerate(("zoom\n-3", "focus\nauto", "profile\nreset", "profile\nrecall2",
                               "led\nup", "brightness\nwdr", " ZOOM \n 7 ", "8101043802FF")):
        write("vocabulary", "seed-%d" % i, words)


def endpoint_seeds():
    for i, text in enumerate(("127.0.0.1\nAdmin\n418275", "127.0.0.1:8080\nop&r\n%=+ #",
                              "[::1]:8080\nuser\npäss", "::1", " 10.1.2.3:65535 ",
                              "[fe80::1%lo]:81\na\nb", "host.example:80")):
        write("endpoint", "seed-%d" % i, text)


def window_state(*sections):
    return struct.pack(">ii", 0xFF, 0) + b"".join(sections)


def settings_seeds():
    plain = ("[General]\nacti=true\nactiIP=127.0.0.1:8080\nactiPassword=@@secret\n"
             "actiUser=\"a, b\"\nbaudrate=9600\ndatabits=8\nflowcontrol=0\nparity=0\n"
             "portSettings=false\nstopbits=1\nzoomControl=true\n")
    write("settings", "plain", plain)
    write("settings", "stray-variant",
          plain + "geometry=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\aQPixmap\\0\\0\\0\\0\\x1)\n")
    # A window state as the window writes it, then ones with garbage counts.
    empty_docks = struct.pack(">BiiiiiiiB", 0xFD, 0, 1209, 349, 4, 4, 8, 8, 0xFC) + \
        struct.pack(">i", 0)
    write("settings", "window-state", window_state(empty_docks))
    write("settings", "window-state-garbage-lines",
          window_state(struct.pack(">Bi", 0xFC, 0x7FFFFFFF)))
    write("settings", "window-state-garbage-docks",
          window_state(struct.pack(">Bi", 0xFD, 0x7FFFFFFF)))
    geometry = struct.pack(">IHH", 0x1D9D0CB, 3, 0) + struct.pack(">iiii", 10, 10, 1218, 399) \
        + struct.pack(">iiii", 10, 30, 1218, 399) + struct.pack(">iBBi", 0, 0, 0, 1920) \
        + struct.pack(">iiii", 10, 30, 1218, 399)
    write("settings", "geometry", geometry)
    hexstate = "".join("\\x%02x" % b for b in window_state(struct.pack(">Bi", 0xFC, 0x7FFFFFFF)))
    write("settings", "stored-garbage-state", plain + "windowState=@ByteArray(" + hexstate + ")\n")


def camerarecords_seeds():
    write("camerarecords", "one-camera", "[General]\nactiIP=127.0.0.1:8099\n"
          "viscaIpAddress=127.0.0.1:52999\nviscaIpProtocol=tcp\n")
    write("camerarecords", "four-cameras",
          "[General]\nviscaIpProtocol=udp\n[cameras]\nsize=4\n"
          "1\\name=Stage left\n1\\route=serial\n1\\serialPort=/dev/pts/3\n1\\lampAddress=3\n"
          "1\\connectAtStart=true\n2\\name=\"Stage right, low\"\n2\\route=serial\n"
          "2\\serialPort=pts/3\n2\\viscaAddress=2\n2\\lampAddress=0\n3\\route=udp\n"
          "3\\address=127.0.0.1:52382\n4\\route=TCP\n4\\address=[::1]:5678\n"
          "4\\connectAtStart=true\n")
    write("camerarecords", "hand-edited",
          "[cameras]\n1\\viscaAddress=9\n1\\address=x\n2\\route=serail\n"
          "2\\connectAtStart=maybe\n2\\name=a, b, c\n30\\name=far\nsize=99999999999\n")


def viscamodel_seeds():
    """A far-end byte, then pieces: control byte (length - 1, route, time), bytes."""
    def piece(data, network=False, later=0):
        return bytes([(len(data) - 1) | (0x10 if network else 0) | (later << 5)]) + data

    chain = bytes.fromhex("883001FF 81090002FF 8201040723FF 8201040700FF 82090447FF".replace(" ", ""))
    write("viscamodel", "two-cameras", bytes([1]) + b"".join(
        piece(chain[i:i + 5]) for i in range(0, len(chain), 5)))
    recall = [bytes.fromhex(h) for h in ("8101043F0100FF", "810106010A0A0201FF", "8101060101010303FF",
                                         "8101043F0200FF", "8121FF", "81010001FF")]
    write("viscamodel", "recall-cancel", bytes([0x80]) + b"".join(piece(p, later=3) for p in recall))
    network = [bytes.fromhex(h) for h in ("8101040003FF", "8101040002FF", "81090400FF",
                                          "81017E010B0105FF", "81097E010B05FF")]
    write("viscamodel", "network-power", bytes([0x08]) + b"".join(
        piece(p, network=True, later=2) for p in network))
    write("viscamodel", "noise", bytes([3]) + piece(bytes.fromhex("12FF8101FF81") + b"\x01" * 9))
    # Exposure steps, the block inquiries, power-up; 0x40: global recall speed.
    image = [bytes.fromhex(h) for h in ("810104390DFF", "8101044D00000112FF", "8101040C02FF",
                                        "8101043302FF", "8101043503FF", "8101041005FF",
                                        "81097E7E00FF", "81097E7E01FF", "8101060105FF",
                                        "8101040003FF", "8101040002FF", "81097E7E02FF")]
    write("viscamodel", "image-blocks", bytes([0x41]) + b"".join(piece(p, later=1) for p in image))


def splitter_seeds():
    # The first byte chooses where the reads are cut.
    answers = bytes.fromhex("9041FF9051FF906003FF9050AAAA0D15010302FF")
    write("splitter", "answers", b"\x05" + answers * 4)
    write("splitter", "no-terminator", b"\x11" + b"\x00" * 300)
    write("splitter", "junk-between-answers",
          b"\x03" + (b"\x11" * 20 + b"\xff" + bytes.fromhex("9041FF")) * 8)
    write("splitter", "longest-packet", b"\x07" + bytes(range(0x80, 0x8F)) + b"\xff")


def padsettings_seeds():
    # The pad's keys as the program saves them, then values a hand edit
    # leaves: words out of the vocabulary, numbers out of range or too long
    # for an int, a list where a word belongs.
    axes = "".join("axes\\%s\\drives=%s\naxes\\%s\\invert=false\naxes\\%s\\deadZone=8\n"
                   "axes\\%s\\curve=2.0\naxes\\%s\\topSpeed=0\n" % ((a, d) + (a,) * 4)
                   for a, d in (("leftX", "pan"), ("leftY", "tilt"), ("rightY", "focus"),
                                ("leftTrigger", "zoom"), ("rightTrigger", "zoom")))
    buttons = "".join("buttons\\%s=%s\n" % pair for pair in (
        ("a", "preset1"), ("b", "preset2"), ("start", "focusAuto"), ("dpadUp", "tiltUp"),
        ("leftShoulder", "previousCamera")))
    saved = "[gamepad]\nbackground=true\nenabled=true\n" + axes + buttons
    write("padsettings", "saved", saved)
    write("padsettings", "hand-edited",
          "[gamepad]\nenabled=yes\naxes\\leftX\\drives=Pan\naxes\\leftX\\curve=nan\n"
          "axes\\leftX\\deadZone=-99999999999\naxes\\rightX\\topSpeed=1e9\n"
          "buttons\\a=preset0128\nbuttons\\x=\"zoomIn, zoomOut\"\nbuttons\\y=preset127\n"
          "axes\\leftY\\curve=2.96\n")


def presetrecords_seeds():
    # The presets as the program writes them beside the cameras' keys, then
    # values a hand edit leaves: numbers out of range, words out of the
    # vocabulary, a list where a name belongs, preset numbers beyond 127.
    write("presetrecords", "saved",
          "[cameras]\nsize=2\n1\\name=Stage\n1\\presetCount=24\n"
          "1\\recallSpeedForm=per-preset\n1\\presets\\1\\name=Wide stage\n"
          "1\\presets\\3\\name=Pulpit\n1\\presets\\3\\recallSpeed=12\n"
          "2\\recallSpeedForm=global\n2\\presets\\127\\name=Last\n")
    write("presetrecords", "ordered",
          "[cameras]\n1\\presetCount=6\n1\\presetOrder=\"3,1,2,6,5,4\"\n"
          "2\\presetOrder=2, x, 2, 0, 17, , 40\n")
    write("presetrecords", "hand-edited",
          "[cameras]\n1\\presetCount=500\n1\\recallSpeedForm=Fast\n"
          "1\\presets\\0\\name=zero\n1\\presets\\128\\name=beyond\n"
          "1\\presets\\2\\name=\"a, b\"\n1\\presets\\2\\recallSpeed=99\n"
          "1\\presets\\4\\name=  spaced   name that is far longer than thirty-two  \n"
          "2\\presetCount=-1\n2\\presets\\x\\name=none\n")


def osc_string(text):
    data = text.encode("utf-8") + b"\0"
    return data + b"\0" * (-len(data) % 4)


def osc(address, *args):
    """An OSC message: ints as i, floats as f, texts as s."""
    tags = ","
    payload = b""
    for arg in args:
        if isinstance(arg, bool):
            tags += "T" if arg else "F"
        elif isinstance(arg, int):
            tags += "i"
            payload += struct.pack(">i", arg)
        elif isinstance(arg, float):
            tags += "f"
            payload += struct.pack(">f", arg)
        else:
            tags += "s"
            payload += osc_string(arg)
    return osc_string(address) + osc_string(tags) + payload


def bundle(*elements):
    return osc_string("#bundle") + bytes(8) + b"".join(
        struct.pack(">i", len(e)) + e for e in elements)


def slip(*packets):
    out = b""
    for packet in packets:
        out += b"\xc0" + packet.replace(b"\xdb", b"\xdb\xdd").replace(b"\xc0", b"\xdb\xdc") + b"\xc0"
    return out


def remote_seeds():
    # First byte: bit 0 chooses JSON texts over an OSC stream, the rest the
    # number of cameras; the second where the stream's reads are cut.
    cam = "/tarndeck/camera/2/"
    write("remote", "osc-press-release", b"\x02\x05" + slip(
        osc(cam + "zoom", 3), osc(cam + "zoom", 3), osc(cam + "zoom", 0),
        osc("/tarndeck/selected/pantilt", 0.5, -0.25), osc("/tarndeck/select", 2),
        osc("/tarndeck/selected/pantilt", 0.0, 0.0), osc(cam + "focus/auto"),
        osc(cam + "tally", "program"), osc(cam + "preset/store", 3)))
    write("remote", "osc-recall-stop", b"\x04\x11" + slip(
        osc(cam + "focus", -8), osc("/tarndeck/camera/1/pantilt", 1, -1),
        osc(cam + "preset/recall", 3.0), osc("/tarndeck/camera/1/stop"),
        osc("/tarndeck/select/next"), osc("/tarndeck/stop")))
    write("remote", "osc-bundles", b"\x06\x03" + slip(
        bundle(osc(cam + "zoom", -2), bundle(osc("/tarndeck/select/previous"))),
        bundle(), bundle(bundle(bundle(bundle(bundle(osc("/tarndeck/stop"))))))))
    write("remote", "osc-hostile", b"\x00\x07" + slip(
        osc("/tarndeck/camera/*/zoom", 1), osc(cam + "zoom", 9), osc(cam + "zoom", float("nan")),
        osc("/tarndeck/camera/0/zoom", 1), b"/tarndeck/stop\0\0,b\0\0\0\0\0\xff")
        + b"\xdb\x41\xc0" + b"x" * 5000 + b"\xc0")
    write("remote", "osc-datagram", b"\x00\x00" + osc(cam + "zoom", 4))
    texts = [
        '{"address": "/tarndeck/camera/2/zoom", "args": [3]}',
        '{"address": "/tarndeck/camera/2/zoom", "args": [2.5]}',
        '{"address": "/tarndeck/selected/pantilt", "args": [0.5, -1]}',
        '{"address": "/tarndeck/camera/2/tally", "args": ["preview"]}',
        '{"address": "/tarndeck/camera/1/preset/recall", "args": [127]}',
        '{"address": "/tarndeck/camera/2/zoom", "args": [0]}',
        '{"address": "/tarndeck/stop"}',
    ]
    write("remote", "json-messages", b"\x03\x00" + "\n".join(texts).encode())
    hostile = [
        '{"address": "/tarndeck/camera/2/zoom", "args": [1e308]}',
        '{"address": "/tarndeck/camera/2/zoom", "args": [[1]]}',
        '{"address": 7}', '[]', '{"address": "/tarndeck/select", "args": [2147483648]}',
        '{"address": "/tarndeck/camera/99/focus", "args": [-8]}', '{"address',
        '{"address": "/tarndeck/camera/2/zoom\\n", "args": [1]}',
    ]
    write("remote", "json-hostile", b"\x01\x00" + "\n".join(hostile).encode())


reply_seeds()
vocabulary_seeds()
endpoint_seeds()
settings_seeds()
camerarecords_seeds()
viscamodel_seeds()
splitter_seeds()
padsettings_seeds()
presetrecords_seeds()
remote_seeds()
