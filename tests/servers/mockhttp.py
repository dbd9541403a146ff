"""Scripted HTTP and HTTPS servers for the tests, bound to 127.0.0.1 only.

A test scripts what the server answers per path and reads back every request received:

    with MockServer() as server:                       # HTTP; MockServer(tls=TestCA(...)) for HTTPS
        server.script("/regist", Reply(200, b"ok", headers={"X-A": "1"}))
        server.script("/big", Reply(200, body, chunked=True, chunk_size=4096, chunk_delay=0.05))
        server.script("/hang", Reply(200, b"", stall=True))          # headers, then nothing
        server.script("/drop", Reply(200, b"x" * 100, drop_after=10))  # closes after 10 bytes
        ... run the client against server.url("/regist") ...
        server.requests          # [Request(method, path, headers, body), ...]

A path without a script gets 404. Stalled replies end when the server stops (or after stall_limit
seconds), so that nothing outlives the test.
"""
import http.server
import socket
import socketserver
import ssl
import threading
import time

LOOPBACK = "127.0.0.1"
# How long a stalled reply holds its connection at most, when the server is not stopped earlier.
DEFAULT_STALL_LIMIT = 120.0


class Reply:
    """One scripted answer. body: bytes; headers: extra headers (dict or list of pairs);
    chunked: Transfer-Encoding chunked in pieces of chunk_size; chunk_delay: seconds between
    pieces (also between plain pieces when chunk_size is given); head_delay: seconds before the
    status line; stall: after the headers, send nothing more until the server stops;
    drop_after: close the connection after that many body bytes; content_length: False to leave
    the header out (the body then ends with the connection)."""

    def __init__(self, status=200, body=b"", headers=None, chunked=False, chunk_size=None,
                 chunk_delay=0.0, head_delay=0.0, stall=False, drop_after=None, content_length=True):
        self.status = status
        self.body = body.encode("utf-8") if isinstance(body, str) else body
        self.headers = list(headers.items()) if isinstance(headers, dict) else list(headers or [])
        self.chunked = chunked
        self.chunk_size = chunk_size
        self.chunk_delay = chunk_delay
        self.head_delay = head_delay
        self.stall = stall
        self.drop_after = drop_after
        self.content_length = content_length


class Request:
    """One request as the server received it."""

    def __init__(self, method, path, headers, body):
        self.method = method
        self.path = path
        self.headers = headers
        self.body = body

    def header(self, name):
        for key, value in self.headers:
            if key.lower() == name.lower():
                return value
        return None

    def __repr__(self):
        return "Request(%r, %r, %d body bytes)" % (self.method, self.path, len(self.body))


class _Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):   # the tests read server.requests, not stderr
        pass

    def do_GET(self):
        self._serve()

    def do_POST(self):
        self._serve()

    def do_PUT(self):
        self._serve()

    def _serve(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        server = self.server.owner
        server.record(Request(self.command, self.path, list(self.headers.items()), body))
        reply = server.reply_for(self.path)
        try:
            self._answer(reply, server)
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError, OSError):
            pass   # the client went away (a cancel): nothing to answer any more
        self.close_connection = True

    def _answer(self, reply, server):
        if reply.head_delay:
            server.stopped.wait(reply.head_delay)
        self.send_response(reply.status)
        for key, value in reply.headers:
            self.send_header(key, value)
        if reply.chunked:
            self.send_header("Transfer-Encoding", "chunked")
        elif reply.content_length:
            self.send_header("Content-Length", str(len(reply.body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.flush()
        if reply.stall:
            server.stopped.wait(server.stall_limit)
            return
        self._send_body(reply, server)

    def _send_body(self, reply, server):
        body = reply.body if reply.drop_after is None else reply.body[:reply.drop_after]
        size = reply.chunk_size or max(len(body), 1)
        for start in range(0, len(body), size):
            piece = body[start:start + size]
            if reply.chunked:
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
            else:
                self.wfile.write(piece)
            self.wfile.flush()
            if reply.chunk_delay and start + size < len(body):
                if server.stopped.wait(reply.chunk_delay):
                    return
        if reply.drop_after is not None:
            self.connection.shutdown(socket.SHUT_RDWR)
            return
        if reply.chunked:
            self.wfile.write(b"0\r\n\r\n")
            self.wfile.flush()


class _ThreadingServer(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


class MockServer:
    """An HTTP (or, with tls, HTTPS) server on 127.0.0.1 and a free port, in a thread of its own."""

    def __init__(self, tls=None, stall_limit=DEFAULT_STALL_LIMIT):
        self.tls = tls
        self.stall_limit = stall_limit
        self.stopped = threading.Event()
        self.requests = []
        self._scripts = {}
        self._lock = threading.Lock()
        self._server = _ThreadingServer((LOOPBACK, 0), _Handler)
        self._server.owner = self
        if tls is not None:
            self._server.socket = tls.server_context().wrap_socket(self._server.socket, server_side=True)
        self.port = self._server.server_address[1]
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    def start(self):
        self._thread.start()
        return self

    def stop(self):
        self.stopped.set()
        self._server.shutdown()
        self._server.server_close()
        self._thread.join()

    def url(self, path="/"):
        return "%s://%s:%d%s" % ("https" if self.tls else "http", LOOPBACK, self.port, path)

    def script(self, path, reply):
        """The answer for every later request of this path (the query is not part of it)."""
        with self._lock:
            self._scripts[path] = reply

    def reply_for(self, path):
        with self._lock:
            return self._scripts.get(path.split("?", 1)[0], Reply(404, b"not scripted"))

    def record(self, request):
        with self._lock:
            self.requests.append(request)

    def received(self):
        with self._lock:
            return list(self.requests)

    def wait_for_requests(self, count, timeout=10.0):
        end = time.monotonic() + timeout
        while len(self.received()) < count and time.monotonic() < end:
            time.sleep(0.05)
        return self.received()
