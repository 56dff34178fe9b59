import hashlib
import xmlrpc.client

from sandbox_harness import SandboxCase


def md5(text):
    return hashlib.md5(text.encode()).hexdigest()


class RecordLifecycle(SandboxCase):
    def test_add_load_update_delete(self):
        ds = self.rpc.DataService
        new_id = ds.add(self.key, "Lead", {"ContactID": 5, "OpportunityTitle": "Racking",
                                           "ProjectedRevenueHigh": "1234.5", "StageID": "3"})
        self.assertIsInstance(new_id, int)
        fields = ["Id", "ContactID", "OpportunityTitle", "ProjectedRevenueHigh", "StageID",
                  "OpportunityNotes", "DateCreated"]
        record = ds.load(self.key, "Lead", new_id, fields)
        self.assertEqual(record["ContactID"], 5)
        self.assertEqual(record["StageID"], 3)  # digit text stored as an integer
        self.assertEqual(record["ProjectedRevenueHigh"], 1234.5)
        self.assertNotIn("OpportunityNotes", record)  # empty fields are left out
        self.assertIsInstance(record["DateCreated"], xmlrpc.client.DateTime)

        self.assertEqual(ds.update(self.key, "Lead", new_id, {"OpportunityNotes": "Two bays"}),
                         new_id)
        self.assertEqual(ds.load(self.key, "Lead", str(new_id), ["OpportunityNotes"]),
                         {"OpportunityNotes": "Two bays"})
        self.assertIs(ds.delete(self.key, "Lead", new_id), True)
        text = self.assertFault(6, "[RecordNotFound]", ds.load, self.key, "Lead", new_id, ["Id"])
        self.assertIn(str(new_id), text)

    def test_dates_accepted_as_dates_and_as_text(self):
        ds = self.rpc.DataService
        when = xmlrpc.client.DateTime("20090703T14:05:09")
        note = ds.add(self.key, "ContactAction", {"ContactId": 1, "ActionDescription": "d",
                                                  "ActionDate": when,
                                                  "CompletionDate": "2009-07-04 08:00:00"})
        record = ds.load(self.key, "ContactAction", note, ["ActionDate", "CompletionDate"])
        self.assertEqual(record["ActionDate"].value, "20090703T14:05:09")
        self.assertEqual(record["CompletionDate"].value, "20090704T08:00:00")
        self.assertFault(3, "[InvalidParameter]", ds.add, self.key, "ContactAction",
                         {"ActionDate": "next tuesday"})

    def test_missing_records_fault_with_their_id(self):
        ds = self.rpc.DataService
        for call, args in ((ds.load, ("Contact", 999999, ["Id"])),
                           (ds.update, ("Contact", 999999, {"FirstName": "x"})),
                           (ds.delete, ("Contact", 999999))):
            with self.subTest(call=call._Method__name):
                text = self.assertFault(6, "[RecordNotFound]", call, self.key, *args)
                self.assertIn("999999", text)
        # An Id beyond 32 bits names no record: a fault about the call, not a database error.
        for call, args in ((ds.load, ("Contact", "99999999999999999999", ["Id"])),
                           (ds.delete, ("Contact", str(2**40)))):
            with self.subTest(call=call._Method__name, big=True):
                self.assertFault(0, "No method matching arguments", call, self.key, *args)

    def test_read_only_fields_and_tables_refuse_writes(self):
        ds = self.rpc.DataService
        self.assertFault(3, "[InvalidParameter]", ds.add, self.key, "Contact", {"Id": 77})
        self.assertFault(3, "[InvalidParameter]", ds.update, self.key, "Contact", 1,
                         {"DateCreated": "20200101T00:00:00"})
        self.assertFault(3, "[InvalidParameter]", ds.update, self.key, "Lead", 1,
                         {"LastUpdated": "20200101T00:00:00"})
        for table, values in (("Stage", {"StageName": "x"}),
                              ("ActionSequence", {"TemplateName": "x"}),
                              ("FileBox", {"FileName": "x"})):
            with self.subTest(table=table):
                self.assertFault(3, "[InvalidParameter]", ds.add, self.key, table, values)
                self.assertFault(3, "[InvalidParameter]", ds.update, self.key, table, 1, values)
                self.assertFault(3, "[InvalidParameter]", ds.delete, self.key, table, 1)
        self.assertEqual(ds.load(self.key, "Stage", 1, ["StageName"]), {"StageName": "New Lead"})

    def test_unknown_table_and_field(self):
        ds = self.rpc.DataService
        self.assertFault(3, "[InvalidParameter]", ds.query, self.key, "Nope", 5, 0,
                         {"Id": "%"}, ["Id"])
        self.assertFault(3, "[InvalidParameter]", ds.add, self.key, "Nope", {"A": 1})
        self.assertEqual(
            self.assertFault(10, "[NoFieldFound]", ds.query, self.key, "Contact", 5, 0,
                             {"Nickame": "%"}, ["Id"]),
            "[NoFieldFound]No field found: Contact.Nickame")
        self.assertFault(10, "[NoFieldFound]No field found: Contact.Mail", ds.query, self.key,
                         "Contact", 5, 0, {"Id": "%"}, ["Id", "Mail"])
        self.assertFault(10, "[NoFieldFound]No field found: Lead.Title", ds.add, self.key,
                         "Lead", {"Title": "x"})
        self.assertFault(10, "[NoFieldFound]", ds.load, self.key, "Stage", 1, ["Name"])

    def test_wrong_values_fault(self):
        ds = self.rpc.DataService
        self.assertFault(3, "[InvalidParameter]", ds.add, self.key, "Lead", {"ContactID": "five"})
        self.assertFault(3, "[InvalidParameter]", ds.add, self.key, "Lead",
                         {"ProjectedRevenueLow": "a lot"})
        self.assertFault(3, "[InvalidParameter]", ds.add, self.key, "Lead",
                         {"OpportunityTitle": ["list"]})
        # <nil/> is no value for a field: it must not be stored as the text "None".
        proxy = xmlrpc.client.ServerProxy(self.sb.url, allow_none=True, context=self.sb.context)
        self.addCleanup(proxy("close"))
        nil = proxy.DataService
        self.assertFault(3, "[InvalidParameter]", nil.add, self.key, "Lead",
                         {"OpportunityTitle": None})
        self.assertFault(3, "[InvalidParameter]", nil.query, self.key, "Contact", 10, 0,
                         {"FirstName": None}, ["Id"])


class QueryRules(SandboxCase):
    def query(self, table, data, fields, limit=1000, page=0):
        return self.rpc.DataService.query(self.key, table, limit, page, data, fields)

    def test_percent_matches_every_record_in_id_order(self):
        rows = self.query("Contact", {"Id": "%"}, ["Id"])
        ids = [r["Id"] for r in rows]
        self.assertGreaterEqual(len(ids), 50)
        self.assertEqual(ids, sorted(ids))

    def test_text_matching_is_case_insensitive_with_wildcards(self):
        exact = self.query("Contact", {"LastName": "MORGAN"}, ["Id", "LastName"])
        self.assertEqual([r["LastName"] for r in exact], ["Morgan"])
        prefix = self.query("Contact", {"Company": "abrams%"}, ["Company"])
        self.assertEqual([r["Company"] for r in prefix], ["Abrams & Cole Accounting"] * 2)
        inner = self.query("Contact", {"Email": "%@BRIGHTWATER%"}, ["Id"])
        self.assertEqual([r["Id"] for r in inner], [1])
        # Without a wildcard the whole text must match.
        self.assertEqual(self.query("Contact", {"LastName": "Morg"}, ["Id"]), [])
        # Characters that are wildcards in SQL are plain text here.
        self.assertEqual(self.query("Contact", {"LastName": "M_rgan"}, ["Id"]), [])

    def test_every_member_must_match(self):
        both = self.query("Contact", {"FirstName": "John", "LastName": "Smith"}, ["Company"])
        self.assertEqual(sorted(r["Company"] for r in both),
                         ["Riverside Printing", "Smith Hardware"])
        one = self.query("Contact", {"FirstName": "John", "LastName": "Smith",
                                     "Company": "river%"}, ["Company"])
        self.assertEqual(one, [{"Company": "Riverside Printing"}])

    def test_integer_fields_match_ints_and_digit_text_exactly(self):
        by_int = self.query("Contact", {"Id": 12}, ["Id"])
        by_text = self.query("Contact", {"Id": "12"}, ["Id"])
        self.assertEqual(by_int, [{"Id": 12}])
        self.assertEqual(by_text, [{"Id": 12}])
        leads = self.query("Lead", {"ContactID": 1}, ["ContactID"])
        self.assertEqual(len(leads), 2)
        self.assertTrue(all(r["ContactID"] == 1 for r in leads))
        self.assertEqual(self.query("Contact", {"Id": "1%"}, ["Id"])[:3],
                         [{"Id": 1}, {"Id": 10}, {"Id": 11}])
        # A whole double matches like the int; a number beyond 32 bits matches nothing.
        self.assertEqual(self.query("Contact", {"Id": 12.0}, ["Id"]), [{"Id": 12}])
        self.assertEqual(self.query("Contact", {"Id": "99999999999999999999"}, ["Id"]), [])

    def test_only_selected_fields_with_values_come_back(self):
        rows = self.query("Contact", {"LastName": "Vance"}, ["Id", "Company", "Email"])
        self.assertEqual(len(rows), 1)
        self.assertEqual(set(rows[0]), {"Id", "Email"})  # the company is empty
        self.assertEqual(list(self.query("Contact", {"Id": 3}, ["Email", "Id"])[0]),
                         ["Email", "Id"])

    def test_limit_and_page_rules(self):
        first = self.query("Contact", {"Id": "%"}, ["Id"], limit=7, page=0)
        second = self.query("Contact", {"Id": "%"}, ["Id"], limit=7, page=1)
        self.assertEqual([r["Id"] for r in first], list(range(1, 8)))
        self.assertEqual([r["Id"] for r in second], list(range(8, 15)))
        self.assertEqual(self.query("Contact", {"Id": "%"}, ["Id"], limit="3", page="1"),
                         [{"Id": 4}, {"Id": 5}, {"Id": 6}])
        self.assertEqual(self.query("Contact", {"Id": "%"}, ["Id"], limit=10, page=500), [])
        ds = self.rpc.DataService
        for limit, page in ((0, 0), (1001, 0), (-1, 0), (5, -1)):
            with self.subTest(limit=limit, page=page):
                self.assertFault(3, "[InvalidParameter]", ds.query, self.key, "Contact",
                                 limit, page, {"Id": "%"}, ["Id"])

    def test_find_by_field(self):
        ds = self.rpc.DataService
        self.assertEqual(ds.findByField(self.key, "Contact", 10, 0, "Email",
                                        "OFFICE@abramscole.example", ["Id"]),
                         [{"Id": 43}, {"Id": 44}])
        self.assertEqual(ds.findByField(self.key, "Lead", 10, 0, "ContactID", 1, ["Id"]),
                         [{"Id": 1}, {"Id": 2}])
        for revenue in (2400.0, 2400, "2400.00"):
            with self.subTest(revenue=revenue):
                self.assertEqual(ds.findByField(self.key, "Lead", 10, 0, "ProjectedRevenueHigh",
                                                revenue, ["Id"]), [{"Id": 2}])
        self.assertFault(10, "[NoFieldFound]", ds.findByField, self.key, "Contact", 10, 0,
                         "Mail", "x", ["Id"])
        # A client that drops the value sends one parameter too few.
        self.assertFault(0, "No method matching arguments", ds.findByField, self.key,
                         "Contact", 10, 0, "Email", ["Id"])

    def test_connection_test_query_on_user(self):
        self.assertEqual(self.query("User", {"Id": "%"}, ["Id"], limit=1), [{"Id": 1}])


class OtherDataMethods(SandboxCase):
    def test_authenticate_user(self):
        ds = self.rpc.DataService
        self.assertEqual(ds.authenticateUser(self.key, "admin@demo.example",
                                             md5("demo-password")), 1)
        self.assertEqual(ds.authenticateUser(self.key, "SALES@demo.example",
                                             md5("sales-password").upper()), 2)
        self.assertEqual(
            self.assertFault(13, "", ds.authenticateUser, self.key, "admin@demo.example",
                             md5("wrong")),
            "[FailedLoginAttempt]Invalid username and/or password.")
        self.assertFault(13, "[FailedLoginAttempt]", ds.authenticateUser, self.key,
                         "nobody@demo.example", md5("demo-password"))

    def test_get_temporary_key_takes_the_vendor_key_first(self):
        ds = self.rpc.DataService
        self.assertEqual(ds.getTemporaryKey("pellwick-vendor-key", "admin@demo.example",
                                            md5("demo-password")), self.key)
        self.assertFault(2, "[InvalidKey]", ds.getTemporaryKey, "other-vendor",
                         "admin@demo.example", md5("demo-password"))
        self.assertFault(13, "[FailedLoginAttempt]", ds.getTemporaryKey, "pellwick-vendor-key",
                         "admin@demo.example", md5("nope"))
        # With the API key in front it is a call of the wrong shape.
        self.assertFault(0, "No method matching", ds.getTemporaryKey, self.key,
                         "pellwick-vendor-key", "admin@demo.example", md5("demo-password"))

    def test_get_app_setting(self):
        ds = self.rpc.DataService
        self.assertEqual(ds.getAppSetting(self.key, "Contact", "optiontypes"),
                         "Prospect,Customer,Partner,Reseller,Vendor")
        self.assertEqual(ds.getAppSetting(self.key, "Contact", "nosuchsetting"), "")

    def test_custom_fields(self):
        ds = self.rpc.DataService
        field_id = ds.addCustomField(self.key, "Contact", "Quote Count", "WholeNumber", 1)
        self.assertIsInstance(field_id, int)
        contact = ds.add(self.key, "Contact", {"FirstName": "Cu", "_QuoteCount": "4"})
        self.assertEqual(ds.load(self.key, "Contact", contact, ["_QuoteCount"]),
                         {"_QuoteCount": 4})
        self.assertEqual(ds.query(self.key, "Contact", 10, 0, {"_QuoteCount": 4}, ["Id"]),
                         [{"Id": contact}])
        self.assertFault(3, "[InvalidParameter]", ds.addCustomField, self.key, "Contact",
                         "Quote Count", "WholeNumber", 1)
        self.assertFault(3, "[InvalidParameter]", ds.addCustomField, self.key, "Planet",
                         "X", "Text", 1)
        self.assertFault(3, "[InvalidParameter]", ds.addCustomField, self.key, "Contact",
                         "Y", "Hologram", 1)

        self.assertIs(ds.updateCustomField(self.key, field_id, {"Label": "Quotes sent"}), True)
        self.assertEqual(ds.load(self.key, "DataFormField", field_id, ["Label", "Name"]),
                         {"Label": "Quotes sent", "Name": "_QuoteCount"})
        self.assertFault(6, "[RecordNotFound]", ds.updateCustomField, self.key, 99999,
                         {"Label": "x"})
        self.assertFault(10, "[NoFieldFound]", ds.updateCustomField, self.key, field_id,
                         {"Colour": "x"})
