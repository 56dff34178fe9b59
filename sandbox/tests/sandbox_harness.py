"""Runs the sandbox as a child process for the tests and talks to it over HTTPS
(XML-RPC through xmlrpc.client, REST v2 through http.client)."""

import http.client
import json
import os
import selectors
import ssl
import subprocess
import sys
import tempfile
import time
import unittest
import xmlrpc.client

SCRIPT = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "crm_sandbox.py")
API_KEY = "test-key"


class Sandbox:
    """One sandbox process with its own state folder (or a given one)."""

    def __init__(self, *extra, api_key=API_KEY, app="demo", seed="demo", state=None):
        self._tmp = None
        self._transports = []
        if state is None:
            self._tmp = tempfile.TemporaryDirectory(prefix="sandbox-test-")
            state = os.path.join(self._tmp.name, "state")
        self.api_key = api_key
        args = [sys.executable, SCRIPT, "--state", state, "--port", "0", "--api-key", api_key,
                "--app", app, "--seed", seed, *extra]
        self.proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.ready = self._await_ready(30)
        self.port = self.ready["port"]
        self.ca = self.ready["ca"]
        self.log_path = self.ready["log"]
        self.state = self.ready["state"]
        self.url = self.ready["url"]
        self.context = ssl.create_default_context(cafile=self.ca)

    def _await_ready(self, seconds):
        deadline = time.monotonic() + seconds
        buffer = b""
        with selectors.DefaultSelector() as sel:
            sel.register(self.proc.stdout, selectors.EVENT_READ)
            while b"\n" not in buffer:
                left = deadline - time.monotonic()
                if left <= 0 or not sel.select(left):
                    self.stop()
                    raise RuntimeError("sandbox gave no ready line in time")
                chunk = os.read(self.proc.stdout.fileno(), 4096)
                if not chunk:
                    err = self.proc.stderr.read().decode(errors="replace")
                    self.stop()
                    raise RuntimeError(f"sandbox exited before it was ready:\n{err}")
                buffer += chunk
        line = buffer.split(b"\n", 1)[0].decode()
        if not line.startswith("SANDBOX_READY "):
            self.stop()
            raise RuntimeError(f"unexpected first line: {line!r}")
        return json.loads(line[len("SANDBOX_READY "):])

    def proxy(self, path="/api/xmlrpc", headers=None, timeout=None):
        """An xmlrpc.client proxy over verified HTTPS; one proxy keeps one connection."""
        transport = _Transport(self.context, headers or {}, timeout)
        self._transports.append(transport)
        return xmlrpc.client.ServerProxy(f"https://localhost:{self.port}{path}",
                                         transport=transport)

    def connection(self, timeout=10):
        return http.client.HTTPSConnection("localhost", self.port, context=self.context,
                                           timeout=timeout)

    def post_raw(self, body, path="/api/xmlrpc", headers=None):
        """POST a raw body; (status, body bytes)."""
        conn = self.connection()
        try:
            conn.request("POST", path, body=body,
                         headers={"Content-Type": "text/xml", **(headers or {})})
            resp = conn.getresponse()
            return resp.status, resp.read()
        finally:
            conn.close()

    def get(self, path):
        conn = self.connection()
        try:
            conn.request("GET", path)
            resp = conn.getresponse()
            return resp.status, resp.read().decode("utf-8")
        finally:
            conn.close()

    def admin(self, path, payload=None):
        conn = self.connection()
        try:
            conn.request("POST", path, body=json.dumps(payload or {}),
                         headers={"Content-Type": "application/json"})
            resp = conn.getresponse()
            return resp.status, json.loads(resp.read() or b"null")
        finally:
            conn.close()

    def set_fault(self, mode, count=-1, delay_ms=0, **targeting):
        status, state = self.admin("/admin/fault", {"mode": mode, "count": count,
                                                    "delay_ms": delay_ms, **targeting})
        if status != 200:
            raise RuntimeError(f"admin refused the fault: {state}")
        return state

    def set_rest(self, **settings):
        status, state = self.admin("/admin/rest", settings)
        if status != 200:
            raise RuntimeError(f"admin refused the REST settings: {state}")
        return state

    def rest(self, method, path, body=None, form=None, headers=None, key="header", conn=None):
        """One REST v2 call; (status, JSON or raw bytes, headers). key: "header" sends
        X-Keap-API-Key, "bearer" an Authorization header, None no key; body is JSON,
        form a list of multipart parts (name, value) or (name, filename, bytes)."""
        sent = {}
        if key == "header":
            sent["X-Keap-API-Key"] = self.api_key
        elif key == "bearer":
            sent["Authorization"] = f"Bearer {self.api_key}"
        data = None
        if form is not None:
            data, sent["Content-Type"] = multipart(form)
        elif body is not None:
            data, sent["Content-Type"] = json.dumps(body).encode(), "application/json"
        sent.update(headers or {})
        own = conn is None
        conn = conn or self.connection()
        try:
            conn.request(method, "/crm/rest/v2" + path, body=data, headers=sent)
            resp = conn.getresponse()
            raw = resp.read()
            if "json" in (resp.getheader("Content-Type") or ""):
                try:
                    return resp.status, json.loads(raw), resp.headers
                except ValueError:
                    pass  # a broken answer is handed over as it came
            return resp.status, raw, resp.headers
        finally:
            if own:
                conn.close()

    def calls(self):
        with open(self.log_path, encoding="utf-8") as f:
            return [json.loads(line) for line in f if line.strip()]

    def clear_log(self):
        self.admin("/admin/clear-log")

    def close_proxies(self):
        for transport in self._transports:
            transport.close()
        self._transports.clear()

    def stop(self):
        self.close_proxies()
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        for stream in (self.proc.stdout, self.proc.stderr):
            if stream:
                stream.close()
        if self._tmp is not None:
            self._tmp.cleanup()
            self._tmp = None


def multipart(parts, boundary="sandbox-test-boundary-7f3a"):
    """A multipart/form-data body and its Content-Type from (name, value) text parts
    and (name, filename, bytes) file parts."""
    out = bytearray()
    for part in parts:
        out += f"--{boundary}\r\n".encode()
        if len(part) == 3:
            name, filename, data = part
            out += (f'Content-Disposition: form-data; name="{name}"; filename="{filename}"\r\n'
                    "Content-Type: application/octet-stream\r\n\r\n").encode()
        else:
            name, value = part
            data = value.encode()
            out += f'Content-Disposition: form-data; name="{name}"\r\n\r\n'.encode()
        out += data + b"\r\n"
    out += f"--{boundary}--\r\n".encode()
    return bytes(out), f"multipart/form-data; boundary={boundary}"


class _Transport(xmlrpc.client.SafeTransport):
    def __init__(self, context, headers, timeout):
        super().__init__(context=context)
        self._extra = headers
        self._timeout = timeout

    def make_connection(self, host):
        conn = super().make_connection(host)
        if self._timeout is not None:
            conn.timeout = self._timeout
        return conn

    def send_headers(self, connection, headers):
        super().send_headers(connection, [*headers, *self._extra.items()])


class SandboxCase(unittest.TestCase):
    """A test class sharing one sandbox; SANDBOX_ARGS are its extra options."""

    SANDBOX_ARGS = ("--memory",)

    @classmethod
    def setUpClass(cls):
        cls.sb = Sandbox(*cls.SANDBOX_ARGS)
        cls.addClassCleanup(cls.sb.stop)

    def setUp(self):
        self.rpc = self.sb.proxy()
        self.key = self.sb.api_key

    def tearDown(self):
        self.sb.close_proxies()

    def assertFault(self, code, prefix, func, *args):
        with self.assertRaises(xmlrpc.client.Fault) as caught:
            func(*args)
        if code is not None:
            self.assertEqual(caught.exception.faultCode, code, caught.exception.faultString)
        self.assertTrue(caught.exception.faultString.startswith(prefix),
                        caught.exception.faultString)
        return caught.exception.faultString
