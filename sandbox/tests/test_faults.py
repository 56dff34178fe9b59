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


class FaultsOnRestAndTargeting(SandboxCase):
    """The modes added with the REST interface, and faults aimed at some calls only."""

    def tearDown(self):
        self.sb.set_fault("none")
        super().tearDown()

    def contacts_named(self, name):
        return self.rpc.DataService.query(self.key, "Contact", 10, 0, {"FirstName": name}, ["Id"])

    def new_contact(self, name):
        return {"given_name": name, "email_addresses": [{"email": f"{name}@x.example"}]}

    def test_fault_answers_refuse_without_carrying_out(self):
        self.sb.clear_log()
        self.sb.set_fault("fault", count=2)
        with self.assertRaises(xmlrpc.client.Fault) as caught:
            self.rpc.ContactService.add(self.key, {"FirstName": "Refused"})
        self.assertIn("[InjectedFault]", caught.exception.faultString)
        status, answer, _ = self.sb.rest("POST", "/contacts", self.new_contact("Refused"))
        self.assertEqual((status, answer["status"]), (400, "FAILED_PRECONDITION"))
        self.assertEqual(self.contacts_named("Refused"), [])
        self.assertEqual([e["fault"] for e in self.sb.calls()[:2]], ["fault", "fault"])

    def test_429_quota_violation_with_and_without_retry_after(self):
        for retry_after, header in ((7, "7"), (None, None)):
            with self.subTest(retry_after=retry_after):
                options = {} if retry_after is None else {"retry_after": retry_after}
                self.sb.set_fault("http429", count=1, **options)
                status, answer, headers = self.sb.rest("POST", "/contacts",
                                                       self.new_contact("Quota"))
                self.assertEqual(status, 429)
                self.assertEqual(answer["fault"]["detail"]["errorcode"],
                                 "policies.ratelimit.QuotaViolation")
                self.assertEqual(headers.get("Retry-After"), header)
                self.assertEqual(headers["x-keap-product-throttle-available"], "0")
        self.assertEqual(self.contacts_named("Quota"), [])  # refused before it ran
        self.sb.set_fault("http429", count=1)
        with self.assertRaises(xmlrpc.client.ProtocolError) as caught:
            self.rpc.DataService.load(self.key, "Stage", 1, ["Id"])
        self.assertEqual(caught.exception.errcode, 429)

    def test_commit_then_fail_leaves_the_record(self):
        for mode in ("drop", "close", "commit_then_500"):
            with self.subTest(mode=mode):
                self.sb.set_fault(mode, count=1)
                conn = self.sb.connection()
                try:
                    status = self.sb.rest("POST", "/contacts", self.new_contact(f"Kept{mode}"),
                                          conn=conn)[0]
                except (http.client.RemoteDisconnected, http.client.IncompleteRead):
                    status = None
                finally:
                    conn.close()
                self.assertEqual(status, 500 if mode == "commit_then_500" else None)
                self.assertEqual(len(self.contacts_named(f"Kept{mode}")), 1)
        self.sb.set_fault("commit_then_500", count=1)
        with self.assertRaises(xmlrpc.client.ProtocolError):
            self.rpc.ContactService.add(self.key, {"FirstName": "KeptRpc"})
        self.assertEqual(len(self.contacts_named("KeptRpc")), 1)

    def test_late_carries_the_call_out_then_answers_after_the_delay(self):
        self.sb.set_fault("late", count=2, delay_ms=600)
        started = time.monotonic()
        status, _, _ = self.sb.rest("GET", "/contacts/1")
        self.assertEqual(status, 200)
        self.assertGreaterEqual(time.monotonic() - started, 0.6)
        impatient = self.sb.connection(timeout=0.2)
        with self.assertRaises((socket.timeout, TimeoutError, ssl.SSLError)):
            self.sb.rest("POST", "/contacts", self.new_contact("Late"), conn=impatient)
        impatient.close()
        self.assertEqual(len(self.contacts_named("Late")), 1)

    def test_skip_method_and_table_pick_the_calls_that_fail(self):
        self.sb.clear_log()
        self.sb.set_fault("http500", count=1, skip=1, method="DataService.query", table="Lead")
        ds = self.rpc.DataService

        def outcome(call):
            try:
                call()
                return "ok"
            except xmlrpc.client.ProtocolError as exc:
                return exc.errcode

        lead = lambda: ds.query(self.key, "Lead", 1, 0, {"Id": "%"}, ["Id"])  # noqa: E731
        stage = lambda: ds.query(self.key, "Stage", 1, 0, {"Id": "%"}, ["Id"])  # noqa: E731
        loaded = lambda: ds.load(self.key, "Lead", 1, ["Id"])  # noqa: E731
        self.assertEqual([outcome(c) for c in (stage, lead, loaded, stage, lead, lead)],
                         ["ok", "ok", "ok", "ok", 500, "ok"])
        self.assertEqual([e["fault"] for e in self.sb.calls()], [None] * 4 + ["http500", None])

        self.sb.set_fault("http500", count=1, method="POST /contacts/{id}/notes")
        note = {"user_id": "1", "title": "Aimed"}
        self.assertEqual(self.sb.rest("GET", "/contacts/1/notes")[0], 200)
        self.assertEqual(self.sb.rest("POST", "/contacts/1/notes", note)[0], 500)
        self.assertEqual(self.sb.rest("POST", "/contacts/1/notes", note)[0], 201)

    def test_rest_answers_misbehave_like_xmlrpc_ones(self):
        self.sb.set_fault("malformed", count=1)
        status, body, _ = self.sb.rest("GET", "/contacts/1")
        self.assertEqual(status, 200)
        self.assertIsInstance(body, bytes)  # JSON that does not parse
        self.assertTrue(body.startswith(b'{"'))
        self.sb.set_fault("notxml", count=1)
        self.assertEqual(self.sb.rest("GET", "/contacts/1")[:2],
                         (200, b"Service temporarily unavailable, please try again later.\n"))
        self.sb.set_fault("http500", count=1)
        self.assertEqual(self.sb.rest("DELETE", "/contacts/2")[0], 500)
        self.assertEqual(self.sb.rest("GET", "/contacts/2")[0], 200)  # not carried out

    def test_admin_shows_targeting_and_refuses_nonsense(self):
        state = self.sb.set_fault("http429", count=2, skip=1, method="GET /contacts",
                                  retry_after=3)
        self.assertEqual(state, {"mode": "http429", "count": 2, "delay_ms": 0, "skip": 1,
                                 "method": "GET /contacts", "retry_after": 3})
        self.assertEqual(self.sb.admin("/admin/fault", {})[1]["mode"], "none")
        for wanted in ({"mode": "drop", "retry_after": 2}, {"mode": "drop", "skip": -1},
                       {"mode": "drop", "method": ""}, {"mode": "drop", "delayMs": 5},
                       {"mode": "drop", "count": True}):
            with self.subTest(wanted=wanted):
                self.assertEqual(self.sb.admin("/admin/fault", wanted)[0], 400)


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
