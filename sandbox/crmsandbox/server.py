"""HTTPS front of the sandbox: XML-RPC endpoints, record pages, call log, fault injection."""

import datetime
import html
import itertools
import json
import select
import socket
import socketserver
import ssl
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler
from urllib.parse import parse_qs, urlsplit
from xmlrpc.server import SimpleXMLRPCRequestHandler, SimpleXMLRPCServer

from . import wire
from .store import int_from

RPC_PATHS = ("/api/xmlrpc", "/crm/xmlrpc")
KEY_HEADER = "X-Keap-API-Key"
MAX_BODY = 64 * 1024 * 1024
FAULT_MODES = ("none", "delay", "http500", "malformed", "notxml", "close", "drop", "hang")

# Record pages the program opens in the browser, and the table each one shows.
PAGES = {
    "/Contact/manageContact.jsp": "Contact",
    "/Opportunity/manageOpportunity.jsp": "Lead",
    "/ContactTemplate/manageContactTemplate.jsp": "ActionSequence",
}


class CallLog:
    """JSON lines, one per XML-RPC call, flushed as written so readers see every call."""

    def __init__(self, path):
        self.path = path
        self._lock = threading.Lock()
        self._file = open(path, "a", encoding="utf-8")

    def write(self, entry):
        line = json.dumps(entry, ensure_ascii=False, default=str)
        with self._lock:
            self._file.write(line + "\n")
            self._file.flush()

    def clear(self):
        with self._lock:
            self._file.truncate(0)
            self._file.seek(0)

    def close(self):
        with self._lock:
            self._file.close()


class FaultState:
    """The misbehaviour to apply to the next XML-RPC calls.

    count -1 applies it to every call until changed; count N to the next N
    calls, after which the sandbox behaves normally again.
    """

    def __init__(self):
        self._lock = threading.Lock()
        self.mode, self.count, self.delay_ms = "none", 0, 0

    def set(self, mode, count=-1, delay_ms=0):
        if mode not in FAULT_MODES:
            raise ValueError(f"unknown fault mode {mode!r}; known: {', '.join(FAULT_MODES)}")
        count, delay_ms = int(count), int(delay_ms)
        if delay_ms < 0:
            raise ValueError("delay_ms must not be negative")
        if mode == "delay" and delay_ms == 0:
            delay_ms = 1000
        with self._lock:
            self.mode, self.count, self.delay_ms = mode, count, delay_ms
            if mode == "none" or count == 0:
                self.mode, self.count, self.delay_ms = "none", 0, 0

    def snapshot(self):
        with self._lock:
            return {"mode": self.mode, "count": self.count, "delay_ms": self.delay_ms}

    def take(self):
        """The fault for the call being answered now, or None."""
        with self._lock:
            if self.mode == "none":
                return None
            taken = (self.mode, self.delay_ms)
            if self.count > 0:
                self.count -= 1
                if self.count == 0:
                    self.mode, self.delay_ms = "none", 0
            return taken


class SandboxServer(socketserver.ThreadingMixIn, SimpleXMLRPCServer):
    daemon_threads = True
    block_on_close = False
    allow_reuse_address = True

    def __init__(self, port, ssl_context, api, call_log):
        self.ssl_context = ssl_context
        self.api = api
        self.call_log = call_log
        self.faults = FaultState()
        self.stopping = threading.Event()
        self._conn_ids = itertools.count(1)
        self._conn_lock = threading.Lock()
        super().__init__(("127.0.0.1", port), requestHandler=RequestHandler,
                         logRequests=False, allow_none=False, encoding="utf-8")

    def next_connection_id(self):
        with self._conn_lock:
            return next(self._conn_ids)

    def get_request(self):
        sock, addr = self.socket.accept()
        # The handshake runs on the connection's own thread, so a slow or
        # broken client cannot hold up the accept loop.
        return self.ssl_context.wrap_socket(sock, server_side=True,
                                            do_handshake_on_connect=False), addr

    def handle_error(self, request, client_address):
        exc = sys.exc_info()[1]
        if isinstance(exc, (ssl.SSLError, ConnectionError, socket.timeout, OSError)):
            return  # clients that hang up or fail TLS are part of the tests
        print(f"sandbox: error on connection from {client_address}: {exc!r}", file=sys.stderr)

    def stop(self):
        self.stopping.set()
        threading.Thread(target=self.shutdown, daemon=True).start()


class RequestHandler(SimpleXMLRPCRequestHandler):
    protocol_version = "HTTP/1.1"
    rpc_paths = RPC_PATHS
    # Idle keep-alive connections are dropped after this many seconds.
    timeout = 120

    def setup(self):
        self.request.settimeout(30)
        self.request.do_handshake()
        super().setup()
        self.connection_id = self.server.next_connection_id()

    def log_message(self, format, *args):
        pass

    # --- plumbing -------------------------------------------------------

    def _send(self, status, body, content_type="text/xml; charset=UTF-8", close=False):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        if close:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        self.wfile.write(body)
        self.wfile.flush()

    def _send_json(self, status, obj):
        self._send(status, (json.dumps(obj) + "\n").encode(), "application/json")

    def _read_body(self):
        length = self.headers.get("Content-Length")
        if length is None:
            self._send(411, b"Content-Length required\n", "text/plain", close=True)
            return None
        try:
            length = int(length)
        except ValueError:
            length = -1
        if length < 0 or length > MAX_BODY:
            self._send(413, b"Request body too large or invalid length\n", "text/plain", close=True)
            return None
        body = self.rfile.read(length)
        if len(body) != length:
            self.close_connection = True
            return None
        return body

    # --- HTTP verbs -----------------------------------------------------

    def do_POST(self):
        path = urlsplit(self.path).path
        body = self._read_body()
        if body is None:
            return
        if path in RPC_PATHS:
            self._handle_rpc(path, body)
        elif path == "/admin/fault":
            self._admin_fault(body)
        elif path == "/admin/clear-log":
            self.server.call_log.clear()
            self._send_json(200, {"ok": True})
        else:
            self._send(404, b"Not found\n", "text/plain")

    def do_GET(self):
        parts = urlsplit(self.path)
        if parts.path in PAGES:
            self._record_page(PAGES[parts.path], parse_qs(parts.query))
        elif parts.path == "/Download":
            self._download(parse_qs(parts.query))
        elif parts.path == "/admin/fault":
            self._send_json(200, self.server.faults.snapshot())
        elif parts.path in RPC_PATHS:
            self._send(405, b"XML-RPC answers POST only\n", "text/plain")
        else:
            self._send(404, b"Not found\n", "text/plain")

    # --- XML-RPC --------------------------------------------------------

    def _handle_rpc(self, path, body):
        header_key = self.headers.get(KEY_HEADER)
        entry = {
            "time": datetime.datetime.now().isoformat(timespec="milliseconds"),
            "connection": self.connection_id,
            "path": path,
            "host": self.headers.get("Host", ""),
            "key_in_header": header_key is not None,
            "method": "",
            "params": [],
        }
        parsed = None
        try:
            parsed = wire.parse_request(body)
            entry["method"], entry["params"] = parsed[0], parsed[2]
        except wire.RequestError as exc:
            entry["error"] = str(exc)
        fault = self.server.faults.take()
        entry["fault"] = fault[0] if fault else None
        self.server.call_log.write(entry)

        if fault:
            mode, delay_ms = fault
            if delay_ms and self._wait(delay_ms / 1000.0):
                return
            if mode == "http500":
                self._send(500, b"<html><body><h1>500 Internal Server Error</h1></body></html>\n",
                           "text/html")
                return
            if mode == "malformed":
                self._send(200, b"<?xml version='1.0' encoding='UTF-8'?>\n<methodResponse>\n"
                                b"<params><param><value><struct><member><name>Id</name>"
                                b"<value><i4>1</i4></value></struct></member>\n")
                return
            if mode == "notxml":
                self._send(200, b"Service temporarily unavailable, please try again later.\n",
                           "text/html")
                return
            if mode == "hang":
                self._wait(None)
                self.close_connection = True
                return

        if parsed is None:
            answer = wire.dump_fault(0, f"Failed to parse XML-RPC request: {entry['error']}")
        else:
            answer = self.server.api.answer(parsed[0], parsed[1], path, header_key)

        if fault and fault[0] == "close":
            self._send_cut(answer)
            return
        if fault and fault[0] == "drop":
            self._hang_up()
            return
        self._send(200, answer)

    def _send_cut(self, answer):
        """Announce the whole answer, send half of it, then drop the connection."""
        self.send_response(200)
        self.send_header("Content-Type", "text/xml; charset=UTF-8")
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        self.wfile.write(answer[: len(answer) // 2])
        self.wfile.flush()
        self._hang_up()

    def _hang_up(self):
        self.close_connection = True
        try:
            self.request.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    def _wait(self, seconds):
        """Wait for the time given (None: for ever) unless the client hangs up or
        the server stops; True when the answer is no longer wanted."""
        deadline = None if seconds is None else time.monotonic() + seconds
        while True:
            if self.server.stopping.is_set():
                self.close_connection = True
                return True
            step = 0.1 if deadline is None else min(0.1, deadline - time.monotonic())
            if step <= 0:
                return False
            readable, _, _ = select.select([self.request], [], [], step)
            if readable:
                # Anything arriving now is either the client's hang-up or a
                # new request it should not have sent before this answer.
                self.close_connection = True
                return True

    # --- admin ----------------------------------------------------------

    def _admin_fault(self, body):
        try:
            wanted = json.loads(body or b"{}")
            if not isinstance(wanted, dict):
                raise ValueError("expected a JSON object")
            self.server.faults.set(wanted.get("mode", "none"), wanted.get("count", -1),
                                   wanted.get("delay_ms", 0))
        except (ValueError, TypeError) as exc:
            self._send_json(400, {"error": str(exc)})
            return
        self._send_json(200, self.server.faults.snapshot())

    # --- record pages ---------------------------------------------------

    def _download(self, query):
        ids = query.get("Id") or []
        found = None
        file_id = int_from(ids[0]) if ids else None
        if file_id is not None:
            found = self.server.api.file_content(file_id)
        if found is None:
            self._send(404, b"File not found\n", "text/plain")
            return
        self._send(200, found[1], "application/octet-stream")

    def _record_page(self, table, query):
        ids = query.get("ID") or query.get("Id") or []
        record = None
        record_id = int_from(ids[0]) if ids else None
        if record_id is not None:
            record = self.server.api.record_for_page(table, record_id)
        if record is None:
            self._send(404, b"<html><body><h1>Record not found</h1></body></html>\n",
                       "text/html; charset=UTF-8")
            return
        rows = "".join(
            f"<tr><th>{html.escape(name)}</th><td id=\"{html.escape(name)}\">"
            f"{html.escape(value)}</td></tr>\n" for name, value in record)
        title = f"{table} {ids[0]}"
        page = (f"<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>{html.escape(title)}"
                f"</title></head>\n<body><h1>{html.escape(title)}</h1>\n<table>\n{rows}</table>"
                f"</body></html>\n")
        self._send(200, page.encode("utf-8"), "text/html; charset=UTF-8")
