import json
import re
import xml.dom.minidom

from sandbox_harness import SandboxCase


def call(method, *params):
    """A methodCall with params given as raw <value> XML."""
    body = "".join(f"<param>{p}</param>" for p in params)
    return (f"<?xml version='1.0'?><methodCall><methodName>{method}</methodName>"
            f"<params>{body}</params></methodCall>").encode()


class WireForms(SandboxCase):
    def key_xml(self):
        return f"<value>{self.sb.api_key}</value>"

    def test_answers_use_bare_strings_i4_and_zoneless_dates(self):
        status, body = self.sb.post_raw(call(
            "DataService.query", self.key_xml(), "<value>Contact</value>", "<value><i4>1</i4></value>",
            "<value><i4>0</i4></value>",
            "<value><struct><member><name>Id</name><value><i4>3</i4></value></member></struct></value>",
            "<value><array><data><value>Id</value><value>FirstName</value>"
            "<value>DateCreated</value></data></array></value>"))
        self.assertEqual(status, 200)
        text = body.decode()
        xml.dom.minidom.parseString(body)  # well-formed
        self.assertIn("<value>Chloe</value>", text)
        self.assertNotIn("<string>", text)
        self.assertIn("<value><i4>3</i4></value>", text)
        self.assertRegex(text, r"<value><dateTime\.iso8601>\d{8}T\d\d:\d\d:\d\d</dateTime\.iso8601></value>")
        self.assertNotIn("<int>", text)

    def test_faults_are_structs_with_i4_code(self):
        status, body = self.sb.post_raw(call("DataService.load", self.key_xml(),
                                             "<value>Contact</value>", "<value><int>999999</int></value>",
                                             "<value><array><data><value>Id</value></data></array></value>"))
        self.assertEqual(status, 200)
        text = body.decode()
        self.assertIn("<fault>", text)
        self.assertIn("<name>faultCode</name>\n<value><i4>6</i4></value>", text)
        self.assertRegex(text, r"<value>\[RecordNotFound\][^<]*999999[^<]*</value>")

    def test_special_characters_are_escaped_and_round_trip(self):
        tricky = "Fish &amp; Chips &lt;Ltd&gt; \u00e9\u00e8 \u4e2d"
        status, body = self.sb.post_raw(call("ContactService.add", self.key_xml(),
                                             f"<value><struct><member><name>Company</name>"
                                             f"<value>{tricky}</value></member></struct></value>"))
        new_id = int(re.search(rb"<i4>(\d+)</i4>", body).group(1))
        loaded = self.rpc.ContactService.load(self.key, new_id, ["Company"])
        self.assertEqual(loaded["Company"], "Fish & Chips <Ltd> \u00e9\u00e8 \u4e2d")
        _, body = self.sb.post_raw(call("ContactService.load", self.key_xml(), f"<value><i4>{new_id}</i4></value>",
                                        "<value><array><data><value>Company</value></data></array></value>"))
        self.assertIn("Fish &amp; Chips &lt;Ltd&gt;", body.decode())

    def test_ints_and_dates_sent_as_strings(self):
        status, body = self.sb.post_raw(call(
            "DataService.add", self.key_xml(), "<value>ContactAction</value>",
            "<value><struct><member><name>ContactId</name><value><string>7</string></value></member>"
            "<member><name>ActionDate</name><value>20090703T14:05:09</value></member>"
            "<member><name>CompletionDate</name><value><dateTime.iso8601>20090703T15:00:00"
            "</dateTime.iso8601></value></member></struct></value>"))
        new_id = int(re.search(rb"<i4>(\d+)</i4>", body).group(1))
        record = self.rpc.DataService.load(self.key, "ContactAction", new_id,
                                           ["ContactId", "ActionDate", "CompletionDate"])
        self.assertEqual(record["ContactId"], 7)
        self.assertEqual(record["ActionDate"].value, "20090703T14:05:09")
        self.assertEqual(record["CompletionDate"].value, "20090703T15:00:00")

    def test_unparsable_or_misshapen_requests_get_faults_and_the_server_goes_on(self):
        for body in (b"this is not xml", b"<methodCall><methodName>X</methodName><params>",
                     b"<?xml version='1.0'?><methodCall><params></params></methodCall>",
                     call("DataService.query", self.key_xml(), "<value><boolean>7</boolean></value>")):
            with self.subTest(body=body[:40]):
                status, answer = self.sb.post_raw(body)
                self.assertEqual(status, 200)
                self.assertIn(b"<fault>", answer)
        _, answer = self.sb.post_raw(call("DataService.frobnicate", self.key_xml()))
        self.assertIn(b"No such handler: DataService.frobnicate", answer)
        _, answer = self.sb.post_raw(call("DataService.query", self.key_xml(), "<value>Contact</value>"))
        self.assertIn(b"No method matching arguments: java.lang.String, java.lang.String", answer)
        _, answer = self.sb.post_raw(call("DataService.load", self.key_xml(), "<value>Contact</value>",
                                          "<value><double>1.5</double></value>",
                                          "<value><array><data/></array></value>"))
        self.assertIn(b"No method matching arguments", answer)
        self.assertEqual(self.rpc.DataService.load(self.key, "Stage", 2, ["StageName"]),
                         {"StageName": "Qualified"})

    def test_call_log_records_wire_types(self):
        self.sb.clear_log()
        self.sb.post_raw(call(
            "DataService.findByField", self.key_xml(), "<value><string>Contact</string></value>",
            "<value><int>5</int></value>", "<value><i4>0</i4></value>", "<value>Email</value>",
            "<value><boolean>1</boolean></value>",
            "<value><array><data><value><double>2.5</double></value>"
            "<value><dateTime.iso8601>20090703T14:05:09</dateTime.iso8601></value>"
            "<value><base64>AAEC</base64></value></data></array></value>"))
        entry = self.sb.calls()[-1]
        self.assertEqual(entry["method"], "DataService.findByField")
        self.assertEqual([p["type"] for p in entry["params"]],
                         ["string", "string", "int", "i4", "string", "boolean", "array"])
        self.assertEqual(entry["params"][5]["value"], True)
        self.assertEqual(entry["params"][6]["value"],
                         [{"type": "double", "value": 2.5},
                          {"type": "dateTime.iso8601", "value": "20090703T14:05:09"},
                          {"type": "base64", "value": "AAEC"}])

    def test_log_lines_stay_strict_json_for_odd_doubles(self):
        self.sb.clear_log()
        self.sb.post_raw(call("DataService.load", self.key_xml(), "<value>Stage</value>",
                              "<value><double>nan</double></value>",
                              "<value><double>-inf</double></value>"))

        def refuse(constant):
            raise ValueError(f"not JSON: {constant}")

        with open(self.sb.log_path, encoding="utf-8") as f:
            entry = json.loads(f.read().splitlines()[-1], parse_constant=refuse)
        self.assertEqual([p["value"] for p in entry["params"][2:]], ["nan", "-inf"])
