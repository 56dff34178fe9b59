import unittest
from urllib.parse import quote

from sandbox_harness import SandboxCase


def ids(answer, plural):
    return [int(record["id"]) for record in answer[plural]]


class Filters(SandboxCase):
    def contacts(self, filter_text, **more):
        query = "&".join([f"filter={quote(filter_text)}", "fields=id,email_addresses"] +
                         [f"{k}={v}" for k, v in more.items()])
        status, answer, _ = self.sb.rest("GET", f"/contacts?{query}")
        self.assertEqual(status, 200, answer)
        return ids(answer, "contacts")

    def test_clauses_prefixes_lists_and_comparisons(self):
        cases = [("family_name==smith", [45, 46]),               # exact, ignoring case
                 ("family_name==SMI*;given_name==jo*", [45, 46]),  # prefixes, AND
                 ("family_name==Smit", []),                        # exact is not a prefix
                 ("email==alice.morgan@brightwater.example", [1, 10]),  # any e-mail slot
                 ("email==OFFICE@abramscole.example", [43, 44]),
                 ("ids==3,1,51", [1, 3, 51]),
                 ("contact_id>=50", [50, 51]), ("contact_id<2", [1]),
                 ("company_id==43;city==balt*", [43, 44])]
        for text, expected in cases:
            with self.subTest(filter=text):
                self.assertEqual(self.contacts(text), expected)

    def test_operators_arrive_url_encoded(self):
        status, answer, _ = self.sb.rest("GET", "/contacts?filter=contact_id%3E%3D50%3B"
                                                "family_name%3D%3DOkafor&fields=id")
        self.assertEqual((status, ids(answer, "contacts")), (200, [51]))

    def test_refused_filters_answer_400_in_the_error_envelope(self):
        for resource, text in [("/contacts", "nickname==x"),          # unknown field
                               ("/contacts", "given_name=ann"),       # unknown operator
                               ("/contacts", "given_name!=ann"),      # operator not allowed
                               ("/contacts", "given_name==*ann"),     # leading wildcard
                               ("/contacts", "given_name==a*n"),      # inner wildcard
                               ("/contacts", "company_id==4*"),       # no wildcard on ids
                               ("/contacts", "contact_id==abc"),      # wrong kind of value
                               ("/contacts", "given_name"),           # no operator at all
                               ("/contacts/1/notes", "title==*1001"),
                               ("/files", "file_name==1001*")]:
            with self.subTest(resource=resource, filter=text):
                status, answer, _ = self.sb.rest("GET", f"{resource}?filter={quote(text)}")
                self.assertEqual(status, 400)
                self.assertEqual((answer["code"], answer["status"]), (400, "INVALID_ARGUMENT"))
                self.assertTrue(answer["message"])

    def test_note_titles_match_anywhere_bare_and_at_the_start_with_a_wildcard(self):
        def titles(text):
            _, answer, _ = self.sb.rest("GET", f"/contacts/1/notes?filter={quote(text)}")
            return [n["title"] for n in answer["notes"]]

        self.assertEqual(titles("title==1001"), ["Office plumbing refit <1001>"])
        self.assertEqual(titles("title==office plumbing*"), ["Office plumbing refit <1001>"])
        self.assertEqual(titles("title==plumbing*"), [])
        _, answer, _ = self.sb.rest("GET", "/notes?filter=contact_id%3D%3D1")
        self.assertEqual(ids(answer, "notes"), [1])

    def test_companies_by_prefix_and_by_exact_name(self):
        _, answer, _ = self.sb.rest("GET", "/companies?filter=" + quote("name==abrams*"))
        self.assertEqual([c["company_name"] for c in answer["companies"]],
                         ["Abrams & Cole Accounting"])
        _, exact, _ = self.sb.rest("GET", "/companies?filter=" +
                                   quote("company_name==harbour lane dental"))
        _, contact, _ = self.sb.rest("GET", "/contacts/51?fields=company")
        self.assertEqual([c["id"] for c in exact["companies"]], [contact["company"]["id"]])


class Paging(SandboxCase):
    def walk(self, path, size):
        seen, token, pages = [], "", 0
        while True:
            status, answer, _ = self.sb.rest("GET", f"{path}&page_size={size}&page_token={token}")
            self.assertEqual(status, 200, answer)
            seen += ids(answer, "stages" if "stages" in answer else "contacts")
            pages += 1
            token = answer["next_page_token"]
            if not token:
                return seen, pages

    def test_cursor_pages_cover_the_list_once_and_end_with_an_empty_token(self):
        self.assertEqual(self.walk("/opportunities/stages?order_by=id", 3),
                         (list(range(1, 9)), 3))
        self.assertEqual(self.walk("/opportunities/stages?order_by=id", 8), (list(range(1, 9)), 1))
        seen, _ = self.walk("/contacts?fields=id&order_by=id%20desc", 20)
        self.assertEqual(seen, list(range(51, 0, -1)))

    def test_page_size_bounds_and_foreign_tokens_are_refused(self):
        _, first, _ = self.sb.rest("GET", "/opportunities/stages?page_size=2")
        token = first["next_page_token"]
        for path in ("/contacts?page_size=1001", "/contacts?page_size=-1",
                     "/contacts?page_size=ten", "/users?page_size=0", "/users?page_size=101",
                     "/automations?page_size=26",
                     "/contacts?page_token=garbage", "/contacts?order_by=given_name",
                     f"/opportunities/stages?page_token={token}&filter=" +
                     quote("opportunity_stage_name==Q*")):
            with self.subTest(path=path):
                self.assertEqual(self.sb.rest("GET", path)[0], 400)
        for path in ("/contacts?page_size=0", "/contacts?page_size=1000", "/users?page_size=100",
                     "/automations?page_size=25"):
            with self.subTest(path=path):
                self.assertEqual(self.sb.rest("GET", path)[0], 200)


class Records(SandboxCase):
    def test_unknown_records_paths_and_methods(self):
        for method, path, status in [("GET", "/contacts/4040", 404), ("GET", "/contacts/x", 404),
                                     ("GET", "/contacts/99999999999", 404),
                                     ("GET", "/opportunities/999", 404),
                                     ("GET", "/files/999", 404), ("GET", "/files/999:data", 404),
                                     ("GET", "/contacts/1/notes/999", 404),
                                     ("GET", "/contacts/2/notes/1", 404),  # another's note
                                     ("GET", "/campaigns/99/sequences", 404),
                                     ("GET", "/locales/countries/Atlantis", 404),
                                     ("GET", "/nothing/here", 404), ("DELETE", "/contacts", 405)]:
            with self.subTest(method=method, path=path):
                got, answer, _ = self.sb.rest(method, path)
                self.assertEqual((got, answer["code"]), (status, status))

    def test_contact_shape_and_fields(self):
        _, contact, _ = self.sb.rest("GET", "/contacts/3?fields=given_name,middle_name,prefix,"
                                            "job_title,email_addresses,phone_numbers,"
                                            "fax_numbers,addresses,company,update_time")
        self.assertEqual(contact["id"], "3")
        self.assertEqual(contact["prefix"], "Dr.")
        self.assertEqual([e["field"] for e in contact["email_addresses"]],
                         ["EMAIL1", "EMAIL2", "EMAIL3"])
        self.assertEqual(contact["phone_numbers"][0]["extension"], "12")
        self.assertEqual(contact["fax_numbers"], [{"number": "206-555-0903", "field": "FAX1"}])
        billing = contact["addresses"][0]
        self.assertEqual((billing["field"], billing["region_code"], billing["region"],
                          billing["country_code"]), ("BILLING", "US-WA", "Washington", "USA"))
        self.assertRegex(contact["update_time"], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$")
        _, brief, _ = self.sb.rest("GET", "/contacts/3?fields=given_name")
        self.assertEqual(brief, {"id": "3", "given_name": "Chloe"})
        self.assertEqual(self.sb.rest("GET", "/contacts/3?fields=shoe_size")[0], 400)

    def test_opportunities_embed_contact_and_stage(self):
        _, answer, _ = self.sb.rest("GET", "/opportunities?filter=contact_id%3D%3D1")
        self.assertEqual(ids(answer, "opportunities"), [1, 2])
        first = answer["opportunities"][0]
        self.assertEqual((first["contact"]["id"], first["stage"]),
                         ("1", {"id": "4", "name": "Quote Sent",
                                "details": {"stage_order": 4, "target_num_days": 7,
                                            "probability": 0}}))
        self.assertEqual(first["projected_revenue_high"], 12850.0)

    def test_campaigns_list_published_sequences_only(self):
        _, answer, _ = self.sb.rest("GET", "/campaigns")
        published = {c["name"]: c["published_status"] for c in answer["campaigns"]}
        self.assertEqual(list(published.values()), [True, True, True, False])
        _, automations, _ = self.sb.rest("GET", "/automations?filter=status%3D%3DDRAFT")
        self.assertEqual((ids(automations, "automations"), automations["automation_count"]),
                         ([4], 1))
        _, draft, _ = self.sb.rest("GET", "/campaigns/4/sequences")
        self.assertEqual(draft, {"sequences": []})
        _, nurture, _ = self.sb.rest("GET", "/campaigns/1/sequences")
        self.assertEqual([s["name"] for s in nurture["sequences"]],
                         ["Quote follow-up", "Second reminder"])

    def test_locales_take_codes_and_names(self):
        for text in ("USA", "us", "United States"):
            with self.subTest(country=text):
                _, answer, _ = self.sb.rest("GET", f"/locales/countries/{quote(text)}")
                self.assertEqual(answer, {"codes": {"alpha2": "US", "alpha3": "USA"},
                                          "name": "United States"})
        for country, text, code in [("USA", "OR", "US-OR"), ("CAN", "Quebec", "CA-QC"),
                                    ("CA", "ca-on", "CA-ON")]:
            with self.subTest(province=text):
                _, answer, _ = self.sb.rest(
                    "GET", f"/locales/countries/{country}/provinces/{quote(text)}")
                self.assertEqual(answer["code"], code)
        self.assertEqual(self.sb.rest("GET", "/locales/countries/GBR/provinces/OR")[0], 404)


class KeysAndAccount(SandboxCase):
    def tearDown(self):
        self.sb.set_rest(key_header="both", unauthorized="fault", limited=False,
                         default_stage=None, key_user=None)
        super().tearDown()

    def test_both_key_forms_work_unless_one_is_switched_off(self):
        for form in ("header", "bearer"):
            self.assertEqual(self.sb.rest("GET", "/users?page_size=1", key=form)[0], 200)
        self.sb.set_rest(key_header="bearer")
        self.assertEqual(self.sb.rest("GET", "/users?page_size=1", key="header")[0], 401)
        self.assertEqual(self.sb.rest("GET", "/users?page_size=1", key="bearer")[0], 200)
        self.sb.set_rest(key_header="x-keap-api-key")
        self.assertEqual(self.sb.rest("GET", "/users?page_size=1", key="bearer")[0], 401)

    def test_a_wrong_key_answers_401_in_the_chosen_envelope(self):
        wrong = {"X-Keap-API-Key": "wrong"}
        status, answer, _ = self.sb.rest("GET", "/contacts/1", key=None, headers=wrong)
        self.assertEqual(status, 401)
        self.assertEqual(answer["fault"]["detail"]["errorcode"], "oauth.v2.InvalidAccessToken")
        self.sb.set_rest(unauthorized="error")
        status, answer, _ = self.sb.rest("GET", "/nothing", key=None)
        self.assertEqual((status, answer["status"]), (401, "UNAUTHENTICATED"))
        self.assertNotIn(self.key, str(answer))

    def test_a_limited_key_is_refused_all_but_its_own_user(self):
        self.sb.set_rest(limited=True)
        status, answer, _ = self.sb.rest("GET", "/contacts/1")
        self.assertEqual((status, answer["status"]), (403, "PERMISSION_DENIED"))
        self.assertEqual(self.sb.rest("GET", "/oauth/connect/userinfo")[0], 200)

    def test_user_info_users_profile_and_default_stage(self):
        _, me, _ = self.sb.rest("GET", "/oauth/connect/userinfo")
        self.assertEqual((me["id"], me["email"]), ("1", "admin@demo.example"))
        self.sb.set_rest(key_user=2)
        _, me, _ = self.sb.rest("GET", "/oauth/connect/userinfo")
        self.assertEqual((me["id"], me["given_name"]), ("2", "Evan"))
        _, users, _ = self.sb.rest("GET", "/users?page_size=1")
        self.assertEqual(ids(users, "users"), [1])
        self.assertTrue(users["next_page_token"])
        _, profile, _ = self.sb.rest("GET", "/businessProfile")
        self.assertEqual(profile["currency_code"], "USD")
        for override, expected in [(None, {"default_stage": "1"}), ("Quote Sent",
                                                                   {"default_stage": "Quote Sent"}),
                                   ("", {})]:
            self.sb.set_rest(default_stage=override)
            _, config, _ = self.sb.rest("GET", "/settings/applications:getConfiguration")
            self.assertEqual(config["opportunity"], expected)

    def test_every_answer_carries_quota_headers(self):
        _, _, before = self.sb.rest("GET", "/contacts/1")
        for path, key in (("/contacts/4040", "header"), ("/contacts/1", None)):
            status, _, headers = self.sb.rest("GET", path, key=key)
            self.assertIn(status, (401, 404))
            self.assertEqual(headers["x-keap-tenant-id"], "demo.localhost")
            for name in ("x-keap-product-quota-limit", "x-keap-product-quota-time-unit",
                         "x-keap-product-quota-interval", "x-keap-product-quota-available",
                         "x-keap-product-quota-expiry-time", "x-keap-product-throttle-limit",
                         "x-keap-product-throttle-available", "x-keap-tenant-throttle-used"):
                self.assertIn(name, headers)
        self.assertEqual(int(headers["x-keap-product-quota-used"]),
                         int(before["x-keap-product-quota-used"]) + 2)

    def test_admin_refuses_unknown_settings(self):
        for settings in ({"key_header": "cookie"}, {"limited": "yes"}, {"colour": "red"},
                         {"key_user": 0}):
            with self.subTest(settings=settings):
                self.assertEqual(self.sb.admin("/admin/rest", settings)[0], 400)


if __name__ == "__main__":
    unittest.main()
