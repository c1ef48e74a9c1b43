#!/usr/bin/python3
"""The demonstration camera: serves an MJPEG file (JPEG frames one after the other) in a loop as
an HTTP multipart stream, laid out as ffmpeg's mpjpeg muxer writes it, on 127.0.0.1 only.
Every client sees the same moment of the loop, as with a real camera, and may reconnect.

Usage: camera_server.py VIDEO PORT_FILE [PORT]
Listens on PORT (21080 by default; any free port when that one is taken) and writes the port
it got into PORT_FILE once it listens. Stops on SIGTERM or SIGINT.
"""
import http.server
import os
import signal
import socketserver
import sys
import time

FRAMES_PER_SECOND = 10
BOUNDARY = b"ffmpeg"
JPEG_START = b"\xff\xd8\xff"


def read_frames(path):
    """The JPEG frames of the file; SOI followed by a marker never occurs inside entropy data."""
    with open(path, "rb") as video:
        data = video.read()
    starts = []
    at = data.find(JPEG_START)
    while at != -1:
        starts.append(at)
        at = data.find(JPEG_START, at + 1)
    starts.append(len(data))
    frames = [data[a:b] for a, b in zip(starts, starts[1:]) if b - a > 100]
    if not frames:
        raise ValueError(f"{path} holds no JPEG frame")
    return frames


class Stream(http.server.BaseHTTPRequestHandler):
    frames = []
    started = time.monotonic()

    def do_GET(self):
        self.send_response(200)
        self.send_header("Content-Type", "multipart/x-mixed-replace;boundary=" + BOUNDARY.decode())
        self.send_header("Cache-Control", "no-cache")
        self.end_headers()
        period = 1.0 / FRAMES_PER_SECOND
        try:
            while True:
                tick = int((time.monotonic() - self.started) / period)
                frame = self.frames[tick % len(self.frames)]
                self.wfile.write(b"--" + BOUNDARY + b"\r\nContent-type: image/jpeg\r\nContent-length: "
                                 + str(len(frame)).encode() + b"\r\n\r\n" + frame + b"\r\n")
                self.wfile.flush()
                time.sleep(max(0.0, self.started + (tick + 1) * period - time.monotonic()))
        except (BrokenPipeError, ConnectionResetError):
            pass

    def log_message(self, format, *args):
        sys.stderr.write("camera: %s %s\n" % (self.address_string(), format % args))


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    video, port_file = sys.argv[1], sys.argv[2]
    wanted = int(sys.argv[3]) if len(sys.argv) == 4 else 21080
    try:
        Stream.frames = read_frames(video)
    except (OSError, ValueError) as error:
        sys.exit(f"camera: {error}")
    try:
        server = Server(("127.0.0.1", wanted), Stream)
    except OSError:
        server = Server(("127.0.0.1", 0), Stream)
    port = server.server_address[1]
    with open(port_file + ".tmp", "w") as out:
        out.write(f"{port}\n")
    os.replace(port_file + ".tmp", port_file)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    print(f"camera: {len(Stream.frames)} frames of {video} on http://127.0.0.1:{port}/demo", file=sys.stderr)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
