"""Serving one API call, XML-RPC or REST: logging it, carrying it out and applying
the injected fault around it (before it runs, or after it has run)."""

import datetime
import json
import select
import socket
import time
from urllib.parse import parse_qs, urlsplit

from . import wire
from .faults import table_of
from .rest import BASE, RestAnswer, RestRequest

KEY_HEADER = "X-Keap-API-Key"
XML = "text/xml; charset=UTF-8"

HTML_500 = b"<html><body><h1>500 Internal Server Error</h1></body></html>\n"
NOT_XML = b"Service temporarily unavailable, please try again later.\n"
MALFORMED = {
    "xmlrpc": (b"<?xml version='1.0' encoding='UTF-8'?>\n<methodResponse>\n"
               b"<params><param><value><struct><member><name>Id</name>"
               b"<value><i4>1</i4></value></struct></member>\n", XML),
    "rest": (b'{"id": "1", "given_name": "Al', "application/json"),
}
# The server's refusal of a call it did not carry out (the "fault" mode).
REFUSED_TEXT = "The call was refused (an injected fault); nothing was changed"
REFUSED_REST = {"code": 400, "message": REFUSED_TEXT, "status": "FAILED_PRECONDITION"}
QUOTA_VIOLATION = {"fault": {
    "faultstring": "Rate limit quota violation. Quota limit exceeded.",
    "detail": {"errorcode": "policies.ratelimit.QuotaViolation"}}}

# Status sent by the modes that answer without carrying the call out (hang: none); a
# fault is an XML-RPC fault answer (200) or the REST API's 400.
REFUSING = {"http500": 500, "http429": 429, "malformed": 200, "notxml": 200, "hang": None,
            "fault": {"xmlrpc": 200, "rest": 400}}


def _now():
    return datetime.datetime.now().isoformat(timespec="milliseconds")


class CallHandling:
    """Mixin of the request handler: the API calls themselves."""

    # --- XML-RPC --------------------------------------------------------

    def _handle_rpc(self, path, body):
        header_key = self.headers.get(KEY_HEADER)
        entry = {"time": _now(), "interface": "xmlrpc", "connection": self.connection_id,
                 "path": path, "host": self.headers.get("Host", ""),
                 "key_in_header": header_key is not None, "method": "", "params": []}
        parsed = None
        try:
            parsed = wire.parse_request(body)
            entry["method"], entry["params"] = parsed[0], parsed[2]
        except wire.RequestError as exc:
            entry["error"] = str(exc)
        table = table_of(parsed[0], parsed[1]) if parsed else None
        fault = self.server.faults.take(entry["method"], table)
        entry["fault"] = fault.mode if fault else None
        # Logged before it is answered, whatever the fault does to the answer.
        self.server.call_log.write(entry)

        def carry_out():
            if parsed is None:
                answer = wire.dump_fault(0, f"Failed to parse XML-RPC request: {entry['error']}")
            else:
                answer = self.server.api.answer(parsed[0], parsed[1], path, header_key)
            return RestAnswer(200, answer, XML)

        self._serve(fault, "xmlrpc", carry_out, lambda status: None)

    # --- REST -----------------------------------------------------------

    def _handle_rest(self, method, body):
        parts = urlsplit(self.path)
        query = parse_qs(parts.query, keep_blank_values=True)
        request = RestRequest(method, parts.path[len(BASE):] or "/", query, self.headers, body)
        rest = self.server.rest
        operation = rest.operation(method, request.path)
        fault = self.server.faults.take(operation)
        entry = {"time": _now(), "interface": "rest", "connection": self.connection_id,
                 "path": parts.path, "host": self.headers.get("Host", ""),
                 "key_in_header": self.headers.get(KEY_HEADER) is not None,
                 "key_form": rest.key_form(self.headers), "method": operation,
                 "http_method": method, "query": query,
                 "filter": (query.get("filter") or [None])[0],
                 "update_mask": request.update_mask(), "body": rest.body_for_log(request),
                 "fault": fault.mode if fault else None}

        def log(status):
            entry["status"] = status
            self.server.call_log.write(entry)

        self._serve(fault, "rest", lambda: rest.answer(request), log)

    # --- faults around a call -------------------------------------------

    def _serve(self, fault, interface, carry_out, log):
        """Carry the call out and answer it, misbehaving as the fault says; log(status)
        records the status sent (None: no answer) before anything is sent."""
        mode = fault.mode if fault else None
        if mode and mode != "late" and fault.delay_ms and self._wait(fault.delay_ms / 1000.0):
            log(None)
            return
        if mode in REFUSING:
            status = REFUSING[mode]
            log(status[interface] if isinstance(status, dict) else status)
            self._refuse(fault, interface)
            return
        answer = carry_out()
        log({"drop": None, "commit_then_500": 500}.get(mode, answer.status))
        if mode == "close":
            self._send_cut(answer)
        elif mode == "drop":
            self._hang_up()
        elif mode == "commit_then_500":
            self._send_answer(RestAnswer(500, HTML_500, "text/html", answer.headers))
        elif mode != "late" or not self._wait(fault.delay_ms / 1000.0):
            self._send_answer(answer)

    def _refuse(self, fault, interface):
        """Answer without carrying the call out (REST answers still count against the
        quota and say so)."""
        mode = fault.mode
        headers = self.server.rest.quota.count() if interface == "rest" else {}
        if mode == "http500":
            self._send_answer(RestAnswer(500, HTML_500, "text/html", headers))
        elif mode == "http429":
            if interface == "rest":
                headers["x-keap-product-throttle-available"] = "0"
            if fault.retry_after is not None:
                headers["Retry-After"] = str(fault.retry_after)
            self._send_answer(RestAnswer(429, (json.dumps(QUOTA_VIOLATION) + "\n").encode(),
                                         "application/json", headers))
        elif mode == "fault":
            if interface == "rest":
                self._send_answer(RestAnswer(400, (json.dumps(REFUSED_REST) + "\n").encode(),
                                             "application/json", headers))
            else:
                self._send_answer(RestAnswer(200, wire.dump_fault(2, "[InjectedFault]" +
                                                                  REFUSED_TEXT), XML, headers))
        elif mode == "malformed":
            self._send_answer(RestAnswer(200, *MALFORMED[interface], headers))
        elif mode == "notxml":
            self._send_answer(RestAnswer(200, NOT_XML, "text/html", headers))
        else:  # hang
            self._wait(None)
            self.close_connection = True

    def _send_answer(self, answer):
        self.send_response(answer.status)
        if answer.status != 204:
            self.send_header("Content-Type", answer.content_type)
            self.send_header("Content-Length", str(len(answer.body)))
        for name, value in answer.headers.items():
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(answer.body)
        self.wfile.flush()

    def _send_cut(self, answer):
        """Announce the whole answer, send half of it, then drop the connection."""
        self.send_response(answer.status)
        self.send_header("Content-Type", answer.content_type)
        self.send_header("Content-Length", str(len(answer.body)))
        self.end_headers()
        self.wfile.write(answer.body[: len(answer.body) // 2])
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
