import http.client
import socket
import ssl
import time
import unittest
import xml.parsers.expat
import xmlrpc.client

from sandbox_harness import Sandbox, SandboxCase


class FaultInjection(SandboxCase):
    def tearDown(self):
        self.sb.set_fault("none")
        super().tearDown()

    def load(self, proxy=None, stage=1):
        proxy = proxy or self.rpc
        return proxy.DataService.load(self.key, "Stage", stage, ["StageName"])

    def test_delay(self):
        self.sb.set_fault("delay", count=1, delay_ms=400)
        started = time.monotonic()
        self.assertEqual(self.load(), {"StageName": "New Lead"})
        self.assertGreaterEqual(time.monotonic() - started, 0.4)
        started = time.monotonic()
        self.load()
        self.assertLess(time.monotonic() - started, 0.4)

    def test_http_500(self):
        self.sb.set_fault("http500", count=2)
        for _ in range(2):
            with self.assertRaises(xmlrpc.client.ProtocolError) as caught:
                self.load(self.sb.proxy())
            self.assertEqual(caught.exception.errcode, 500)
        self.assertEqual(self.load(), {"StageName": "New Lead"})

    def test_http_500_does_not_carry_the_call_out(self):
        self.sb.set_fault("http500", count=1)
        with self.assertRaises(xmlrpc.client.ProtocolError):
            self.rpc.ContactService.add(self.key, {"FirstName": "Ghost500"})
        self.assertEqual(self.rpc.DataService.query(self.key, "Contact", 10, 0,
                                                    {"FirstName": "Ghost500"}, ["Id"]), [])

    def test_malformed_xml(self):
        self.sb.set_fault("malformed", count=1)
        status, body = self.sb.post_raw(b"<methodCall><methodName>DataService.load</methodName>"
                                        b"<params/></methodCall>")
        self.assertEqual(status, 200)
        self.assertTrue(body.startswith(b"<?xml"))
        with self.assertRaises(xml.parsers.expat.ExpatError):
            xmlrpc.client.loads(body)

    def test_body_that_is_not_xml(self):
        self.sb.set_fault("notxml", count=1)
        with self.assertRaises(xml.parsers.expat.ExpatError):
            self.load()

    def test_close_mid_answer(self):
        self.sb.set_fault("close", count=1)
        conn = self.sb.connection()
        conn.request("POST", "/api/xmlrpc", body=xmlrpc.client.dumps(
            (self.key, "Stage", 1, ["StageName"]), "DataService.load"))
        resp = conn.getresponse()
        self.assertEqual(resp.status, 200)
        with self.assertRaises(http.client.IncompleteRead):
            resp.read()
        conn.close()
        # The call itself was carried out; the sandbox serves the next one normally.
        self.assertEqual(self.load(self.sb.proxy()), {"StageName": "New Lead"})

    def test_drop_carries_the_call_out_and_never_answers(self):
        self.sb.set_fault("drop", count=1)
        conn = self.sb.connection()
        conn.request("POST", "/api/xmlrpc", body=xmlrpc.client.dumps(
            (self.key, {"FirstName": "GhostDrop"}), "ContactService.add"))
        with self.assertRaises(http.client.RemoteDisconnected):
            conn.getresponse()
        conn.close()
        found = self.rpc.DataService.query(self.key, "Contact", 10, 0, {"FirstName": "GhostDrop"},
                                           ["Id"])
        self.assertEqual(len(found), 1)

    def test_hang_until_the_client_gives_up(self):
        self.sb.set_fault("hang", count=1)
        patient = self.sb.proxy(timeout=0.5)
        started = time.monotonic()
        with self.assertRaises((socket.timeout, TimeoutError, ssl.SSLError)):
            self.load(patient)
        self.assertLess(time.monotonic() - started, 5)
        patient("close")()
        self.assertEqual(self.load(self.sb.proxy()), {"StageName": "New Lead"})

    def test_counted_faults_run_out_and_every_call_is_logged_with_its_fault(self):
        self.sb.clear_log()
        self.sb.set_fault("http500", count=2)
        proxy = self.sb.proxy()
        results = []
        for _ in range(3):
            try:
                self.load(proxy)
                results.append("ok")
            except xmlrpc.client.ProtocolError:
                results.append("500")
        self.assertEqual(results, ["500", "500", "ok"])
        self.assertEqual([e["fault"] for e in self.sb.calls()], ["http500", "http500", None])

    def test_uncounted_fault_lasts_until_cleared(self):
        self.sb.set_fault("http500")
        for _ in range(3):
            with self.assertRaises(xmlrpc.client.ProtocolError):
                self.load(self.sb.proxy())
        self.sb.set_fault("none")
        self.assertEqual(self.load(), {"StageName": "New Lead"})

    def test_admin_endpoint(self):
        status, state = self.sb.admin("/admin/fault", {"mode": "delay", "count": 3})
        self.assertEqual((status, state), (200, {"mode": "delay", "count": 3, "delay_ms": 1000}))
        self.assertEqual(self.sb.admin("/admin/fault", {"mode": "explode"})[0], 400)
        self.assertEqual(self.sb.admin("/admin/fault", {"mode": "delay", "delay_ms": -5})[0], 400)
        self.assertEqual(self.sb.admin("/admin/fault", {"mode": "none"})[1],
                         {"mode": "none", "count": 0, "delay_ms": 0})
        conn = self.sb.connection()
        conn.request("POST", "/admin/fault", body=b"[not json")
        self.assertEqual(conn.getresponse().status, 400)
        conn.close()


class FaultFromTheCommandLine(unittest.TestCase):
    def test_fault_options_apply_from_the_first_call(self):
        sb = Sandbox("--memory", "--fault", "http500", "--fault-count", "1")
        try:
            with self.assertRaises(xmlrpc.client.ProtocolError):
                sb.proxy().DataService.load(sb.api_key, "Stage", 1, ["Id"])
            proxy = sb.proxy()
            self.assertEqual(proxy.DataService.load(sb.api_key, "Stage", 1, ["Id"]), {"Id": 1})
            proxy("close")()
        finally:
            sb.stop()

    def test_stopping_releases_a_hung_call(self):
        sb = Sandbox("--memory", "--fault", "hang")
        try:
            conn = sb.connection(timeout=20)
            conn.request("POST", "/api/xmlrpc", body=xmlrpc.client.dumps(
                (sb.api_key, "Stage", 1, ["Id"]), "DataService.load"))
            started = time.monotonic()
            sb.proc.terminate()
            with self.assertRaises((http.client.RemoteDisconnected, ConnectionError, ssl.SSLError)):
                conn.getresponse()
            self.assertLess(time.monotonic() - started, 10)
            self.assertEqual(sb.proc.wait(10), 0)
            conn.close()
        finally:
            sb.stop()
