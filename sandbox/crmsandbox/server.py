"""HTTPS front of the sandbox: the XML-RPC and REST endpoints, record pages, the call
log and the admin endpoints."""

import html
import itertools
import json
import socket
import socketserver
import ssl
import sys
import threading
from urllib.parse import parse_qs, urlsplit
from xmlrpc.server import SimpleXMLRPCRequestHandler, SimpleXMLRPCServer

from .calls import CallHandling
from .faults import FaultState
from .rest import BASE as REST_BASE
from .store import int_from

RPC_PATHS = ("/api/xmlrpc", "/crm/xmlrpc")
MAX_BODY = 64 * 1024 * 1024
FAULT_KEYS = {"mode", "count", "delay_ms", "skip", "method", "table", "retry_after"}

# Record pages the program opens in the browser, and the table each one shows.
PAGES = {
    "/Contact/manageContact.jsp": "Contact",
    "/Opportunity/manageOpportunity.jsp": "Lead",
    "/ContactTemplate/manageContactTemplate.jsp": "ActionSequence",
}


class CallLog:
    """JSON lines, one per API call, flushed as written so readers see every call."""

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


class SandboxServer(socketserver.ThreadingMixIn, SimpleXMLRPCServer):
    daemon_threads = True
    block_on_close = False
    allow_reuse_address = True

    def __init__(self, port, ssl_context, api, rest, call_log):
        self.ssl_context = ssl_context
        self.api = api
        self.rest = rest
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


class RequestHandler(CallHandling, SimpleXMLRPCRequestHandler):
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

    def _read_body(self, required=True):
        """The request body (chunked or with a length); None after answering a bad one.
        Without either, a body is an error where one is required, else empty."""
        if "chunked" in (self.headers.get("Transfer-Encoding") or "").lower():
            return self._read_chunked()
        length = self.headers.get("Content-Length")
        if length is None:
            if not required:
                return b""
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

    def _read_chunked(self):
        body = bytearray()
        while True:
            line = self.rfile.readline(1024)
            try:
                size = int(line.split(b";", 1)[0].strip(), 16)
            except ValueError:
                self._send(400, b"Bad chunked body\n", "text/plain", close=True)
                return None
            if size == 0:
                while self.rfile.readline(1024).strip():
                    pass  # trailers
                return bytes(body)
            if len(body) + size > MAX_BODY:
                self._send(413, b"Request body too large\n", "text/plain", close=True)
                return None
            chunk = self.rfile.read(size)
            self.rfile.readline(8)
            if len(chunk) != size:
                self.close_connection = True
                return None
            body += chunk

    @staticmethod
    def _is_rest(path):
        return path == REST_BASE or path.startswith(REST_BASE + "/")

    def _rest(self, method):
        body = self._read_body(required=method in ("POST", "PATCH", "PUT"))
        if body is not None:
            self._handle_rest(method, body)

    # --- HTTP verbs -----------------------------------------------------

    def do_POST(self):
        path = urlsplit(self.path).path
        if self._is_rest(path):
            self._rest("POST")
            return
        body = self._read_body()
        if body is None:
            return
        if path in RPC_PATHS:
            self._handle_rpc(path, body)
        elif path == "/admin/fault":
            self._admin(body, self._set_fault, self.server.faults.snapshot)
        elif path == "/admin/rest":
            self._admin(body, self.server.rest.settings.update,
                        self.server.rest.settings.snapshot)
        elif path == "/admin/clear-log":
            self.server.call_log.clear()
            self._send_json(200, {"ok": True})
        else:
            self._send(404, b"Not found\n", "text/plain")

    def do_GET(self):
        parts = urlsplit(self.path)
        if self._is_rest(parts.path):
            self._rest("GET")
        elif parts.path in PAGES:
            self._record_page(PAGES[parts.path], parse_qs(parts.query))
        elif parts.path == "/Download":
            self._download(parse_qs(parts.query))
        elif parts.path == "/admin/fault":
            self._send_json(200, self.server.faults.snapshot())
        elif parts.path == "/admin/rest":
            self._send_json(200, self.server.rest.settings.snapshot())
        elif parts.path in RPC_PATHS:
            self._send(405, b"XML-RPC answers POST only\n", "text/plain")
        else:
            self._send(404, b"Not found\n", "text/plain")

    def _other_verb(self, method):
        if self._is_rest(urlsplit(self.path).path):
            self._rest(method)
        else:
            self._send(405, b"Method not allowed\n", "text/plain", close=True)

    def do_PATCH(self):
        self._other_verb("PATCH")

    def do_DELETE(self):
        self._other_verb("DELETE")

    def do_PUT(self):
        self._other_verb("PUT")

    # --- admin ----------------------------------------------------------

    def _admin(self, body, change, snapshot):
        """Apply a JSON object of changes; answer the resulting state (400: refused)."""
        try:
            wanted = json.loads(body or b"{}")
            if not isinstance(wanted, dict):
                raise ValueError("expected a JSON object")
            change(wanted)
        except (ValueError, TypeError) as exc:
            self._send_json(400, {"error": str(exc)})
            return
        self._send_json(200, snapshot())

    def _set_fault(self, wanted):
        unknown = sorted(set(wanted) - FAULT_KEYS)
        if unknown:
            raise ValueError(f"unknown fault options: {', '.join(unknown)}; "
                             f"known: {', '.join(sorted(FAULT_KEYS))}")
        self.server.faults.set(wanted.get("mode", "none"), wanted.get("count", -1),
                               wanted.get("delay_ms", 0), wanted.get("skip", 0),
                               wanted.get("method"), wanted.get("table"),
                               wanted.get("retry_after"))

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
