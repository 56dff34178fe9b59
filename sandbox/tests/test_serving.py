import os
import socket
import ssl
import unittest
import xmlrpc.client

from sandbox_harness import Sandbox, SandboxCase


class TlsAndReadiness(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sb = Sandbox("--memory", app="acme")
        cls.addClassCleanup(cls.sb.stop)

    def handshake(self, name, context):
        with socket.create_connection(("127.0.0.1", self.sb.port), timeout=10) as raw:
            with context.wrap_socket(raw, server_hostname=name):
                pass

    def test_ready_line_names_everything(self):
        ready = self.sb.ready
        self.assertEqual(set(ready), {"port", "ca", "log", "state", "url", "rest_url"})
        self.assertEqual(ready["url"], f"https://localhost:{ready['port']}/api/xmlrpc")
        self.assertEqual(ready["rest_url"], f"https://localhost:{ready['port']}/crm/rest/v2")
        for key in ("ca", "log", "state"):
            self.assertTrue(os.path.isabs(ready[key]))
            self.assertTrue(os.path.exists(ready[key]), key)
        self.assertEqual(os.path.dirname(ready["ca"]), ready["state"])

    def test_certificate_verifies_for_the_app_and_localhost_only(self):
        for name in ("localhost", "acme.localhost", "127.0.0.1"):
            with self.subTest(name=name):
                self.handshake(name, self.sb.context)
        for name in ("example.com", "demo.example"):
            with self.subTest(name=name), self.assertRaises(ssl.SSLCertVerificationError):
                self.handshake(name, self.sb.context)

    def test_clients_without_the_ca_are_refused(self):
        with self.assertRaises(ssl.SSLCertVerificationError):
            self.handshake("localhost", ssl.create_default_context())

    def test_listens_on_loopback_only(self):
        # The address this host would use towards the outside; a UDP "connect"
        # sends nothing, it only picks the route.
        try:
            with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
                probe.connect(("192.0.2.1", 9))
                address = probe.getsockname()[0]
        except OSError:
            self.skipTest("no non-loopback address on this host")
        if address.startswith("127."):
            self.skipTest("no non-loopback address on this host")
        with self.assertRaises(OSError):
            socket.create_connection((address, self.sb.port), timeout=2).close()
        socket.create_connection(("127.0.0.1", self.sb.port), timeout=2).close()


class ApiKeys(SandboxCase):
    def test_key_as_first_parameter(self):
        ds = self.rpc.DataService
        self.assertEqual(ds.query(self.key, "User", 1, 0, {"Id": "%"}, ["Id"]), [{"Id": 1}])
        text = self.assertFault(2, "[InvalidConfig]", ds.query, "wrong", "User", 1, 0,
                                {"Id": "%"}, ["Id"])
        self.assertNotIn(self.key, text)
        self.assertFault(2, "[InvalidConfig]", self.rpc.ContactService.load, "", 1, ["Id"])
        self.assertFault(2, "[InvalidConfig]", self.rpc.FileService.getFile, "wrong", 1)

    def test_key_in_header_on_the_current_endpoint(self):
        good = self.sb.proxy("/crm/xmlrpc", {"X-Keap-API-Key": self.key})
        self.assertEqual(good.DataService.load("placeholder", "Stage", 1, ["StageName"]),
                         {"StageName": "New Lead"})
        for headers in ({"X-Keap-API-Key": "wrong"}, {}):
            with self.subTest(headers=headers):
                proxy = self.sb.proxy("/crm/xmlrpc", headers)
                with self.assertRaises(xmlrpc.client.Fault) as caught:
                    # The right key as a parameter does not count on this endpoint.
                    proxy.DataService.load(self.key, "Stage", 1, ["StageName"])
                self.assertTrue(caught.exception.faultString.startswith("[InvalidConfig]"))
                proxy("close")()
        good("close")()
        entries = [e for e in self.sb.calls() if e["path"] == "/crm/xmlrpc"]
        self.assertEqual([e["key_in_header"] for e in entries[-3:]], [True, True, False])


class KeepAliveAndLog(SandboxCase):
    def test_one_connection_serves_many_calls(self):
        self.sb.clear_log()
        first, second = self.sb.proxy(), self.sb.proxy()
        for _ in range(3):
            first.DataService.load(self.key, "Stage", 1, ["Id"])
        second.DataService.load(self.key, "Stage", 2, ["Id"])
        first.DataService.load(self.key, "Stage", 3, ["Id"])
        entries = self.sb.calls()
        self.assertEqual(len(entries), 5)
        connections = [e["connection"] for e in entries]
        self.assertEqual(len(set(connections)), 2)
        self.assertEqual(connections[0], connections[4])
        self.assertNotEqual(connections[0], connections[3])
        first("close")()
        second("close")()

    def test_log_entry_shape(self):
        self.sb.clear_log()
        self.rpc.DataService.query(self.key, "Contact", 2, 0, {"Email": "%@%", "Id": 3}, ["Id"])
        entry, = self.sb.calls()
        self.assertEqual(entry["method"], "DataService.query")
        self.assertEqual(entry["path"], "/api/xmlrpc")
        self.assertFalse(entry["key_in_header"])
        self.assertIsNone(entry["fault"])
        self.assertIn("time", entry)
        self.assertEqual(entry["params"][:4], [{"type": "string", "value": self.key},
                                               {"type": "string", "value": "Contact"},
                                               {"type": "int", "value": 2},
                                               {"type": "int", "value": 0}])
        self.assertEqual(entry["params"][4], {"type": "struct", "value": {
            "Email": {"type": "string", "value": "%@%"}, "Id": {"type": "int", "value": 3}}})


class RecordPages(SandboxCase):
    def test_pages_show_the_record_or_404(self):
        for path, expected in (("/Contact/manageContact.jsp?view=edit&ID=3", "Lumen Dental Group"),
                               ("/Opportunity/manageOpportunity.jsp?view=edit&ID=3",
                                "Warehouse scanners"),
                               ("/ContactTemplate/manageContactTemplate.jsp?view=edit&ID=1",
                                "Quote Follow-up")):
            with self.subTest(path=path):
                status, page = self.sb.get(path)
                self.assertEqual(status, 200)
                self.assertIn(expected, page)
        status, page = self.sb.get("/Contact/manageContact.jsp?view=edit&ID=1")
        self.assertIn("Brightwater Plumbing", page)
        for path in ("/Contact/manageContact.jsp?view=edit&ID=4040",
                     "/Opportunity/manageOpportunity.jsp?view=edit&ID=x",
                     "/Opportunity/manageOpportunity.jsp?view=edit&ID=99999999999999999999",
                     "/ContactTemplate/manageContactTemplate.jsp?view=edit",
                     "/Nothing/here.jsp?ID=1"):
            with self.subTest(path=path):
                self.assertEqual(self.sb.get(path)[0], 404)

    def test_page_text_is_escaped(self):
        new_id = self.rpc.ContactService.add(self.key, {"Company": "<script>x</script>"})
        status, page = self.sb.get(f"/Contact/manageContact.jsp?view=edit&ID={new_id}")
        self.assertEqual(status, 200)
        self.assertIn("&lt;script&gt;", page)
        self.assertNotIn("<script>", page)


class DemoSeed(SandboxCase):
    def query(self, table, fields):
        return self.rpc.DataService.query(self.key, table, 1000, 0, {"Id": "%"}, fields)

    def test_demo_data_has_the_awkward_cases(self):
        contacts = self.query("Contact", ["FirstName", "LastName", "Company", "Email"])
        self.assertTrue(45 <= len(contacts) <= 60, len(contacts))
        emails = [c["Email"] for c in contacts]
        self.assertTrue(any(emails.count(e) > 1 for e in emails))
        names = [(c.get("FirstName"), c.get("LastName")) for c in contacts]
        self.assertTrue(any(names.count(n) == 2 for n in names))
        self.assertEqual(sum("Company" not in c for c in contacts), 1)

        self.assertEqual(len(self.query("Stage", ["StageName"])), 8)
        sets = self.query("ActionSequence", ["Id", "TemplateName"])
        self.assertEqual(len(sets), 6)
        self.assertEqual(sum("TemplateName" not in s for s in sets), 1)
        self.assertTrue(any(s.get("TemplateName", "").startswith("  ") for s in sets))

        leads = self.query("Lead", ["StageID"])
        self.assertGreaterEqual(len({lead["StageID"] for lead in leads}), 3)
        notes = self.rpc.DataService.query(self.key, "ContactAction", 1, 0,
                                           {"ContactId": 1, "ActionDescription": "%<1001>%"},
                                           ["Id"])
        self.assertEqual(len(notes), 1)


class Persistence(unittest.TestCase):
    def test_records_and_ca_survive_a_restart(self):
        first = Sandbox()
        try:
            state = first.state
            proxy = first.proxy()
            new_id = proxy.ContactService.add(first.api_key, {"FirstName": "Kept"})
            proxy("close")()
            with open(first.ca) as f:
                ca_text = f.read()
            # Keep the folder for the second run: take it over from the first.
            tmp, first._tmp = first._tmp, None
        finally:
            first.stop()
        try:
            second = Sandbox(state=state, app="other")
            try:
                with open(second.ca) as f:
                    self.assertEqual(f.read(), ca_text)
                proxy = second.proxy()
                self.assertEqual(proxy.ContactService.load(second.api_key, new_id, ["FirstName"]),
                                 {"FirstName": "Kept"})
                with socket.create_connection(("127.0.0.1", second.port), timeout=10) as raw:
                    with second.context.wrap_socket(raw, server_hostname="other.localhost"):
                        pass
                proxy("close")()
            finally:
                second.stop()
        finally:
            tmp.cleanup()

    def test_bad_command_lines_fail_with_a_message(self):
        for args in (("--contacts", "-1"), ("--fault", "explode"), ("--app", "a b"),
                     ("--port", "70000")):
            with self.subTest(args=args), self.assertRaises(RuntimeError) as caught:
                Sandbox("--memory", *args)
            self.assertIn("error", str(caught.exception))
