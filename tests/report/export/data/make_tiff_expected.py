# Builds rgb_3x2.tif, the expected file of the TIFF writer test, from the layout by hand:
# header, XRes, YRes, BitsPerSample, Software with its NUL, the rows (red, green, blue), one pad
# byte so the directory starts on an even offset, the 15 entries and no next directory.
import struct

rows = bytes([255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 18, 52, 86])
data = struct.pack("<II", 3000, 10) * 2 + struct.pack("<HHH", 8, 8, 8) + b"DudeZirare\0"
rows_at = 8 + len(data)
body = data + rows
end = 8 + len(body)
pad = b"\0" if end % 2 else b""
ifd = end + len(pad)
SHORT, LONG, ASCII, RATIONAL = 3, 4, 2, 5
entries = [
    (254, LONG, 1, 0), (256, SHORT, 1, 3), (257, SHORT, 1, 2), (258, SHORT, 3, 24), (259, SHORT, 1, 1),
    (262, SHORT, 1, 2), (273, LONG, 1, rows_at), (277, SHORT, 1, 3), (278, LONG, 1, 2), (279, LONG, 1, 18),
    (282, RATIONAL, 1, 8), (283, RATIONAL, 1, 16), (284, SHORT, 1, 1), (296, SHORT, 1, 2), (305, ASCII, 11, 30),
]
out = b"II*\0" + struct.pack("<I", ifd) + body + pad + struct.pack("<H", len(entries))
for tag, typ, count, value in entries:
    out += struct.pack("<HHII", tag, typ, count, value)
out += struct.pack("<I", 0)
open("rgb_3x2.tif", "wb").write(out)
