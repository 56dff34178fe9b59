import base64
import json
import unittest

from sandbox_harness import SandboxCase, multipart

EVERY_BYTE = bytes(range(256)) + b"\r\n--sandbox-test-boundary\r\n\r" + bytes(range(255, -1, -1))


class Contacts(SandboxCase):
    def create(self, body, query=""):
        status, answer, _ = self.sb.rest("POST", f"/contacts{query}", body)
        return status, answer

    def test_rest_contact_is_an_xmlrpc_contact_and_back(self):
        status, made = self.create({
            "given_name": "Ines", "family_name": "Baptiste",
            "email_addresses": [{"email": "ines@tidewater.example", "field": "EMAIL1"}],
            "phone_numbers": [{"number": "555-0170", "extension": "4", "field": "PHONE1"}],
            "addresses": [{"field": "BILLING", "line1": "9 Quay St", "locality": "Halifax",
                           "region_code": "CA-NS", "country_code": "CAN"}],
            "company": {"company_name": "Tidewater Marine"}})
        self.assertEqual(status, 201, made)
        new_id = int(made["id"])
        seen = self.rpc.ContactService.load(self.key, new_id, [
            "FirstName", "Email", "Phone1Ext", "City", "State", "Country", "Company",
            "CompanyID"])
        self.assertEqual(seen, {"FirstName": "Ines", "Email": "ines@tidewater.example",
                                "Phone1Ext": "4", "City": "Halifax", "State": "NS",
                                "Country": "Canada", "Company": "Tidewater Marine",
                                "CompanyID": int(made["company"]["id"])})

        # XML-RPC writes a colleague at the same firm: one company record for both.
        other = self.rpc.ContactService.add(self.key, {"FirstName": "Omar",
                                                       "Company": "TIDEWATER marine"})
        _, colleague, _ = self.sb.rest("GET", f"/contacts/{other}?fields=company")
        self.assertEqual(colleague["company"]["id"], made["company"]["id"])
        self.rpc.DataService.update(self.key, "Contact", new_id, {"Company": "Quayside Ltd"})
        _, moved, _ = self.sb.rest("GET", f"/contacts/{new_id}?fields=company")
        self.assertEqual(moved["company"]["company_name"], "Quayside Ltd")
        self.assertNotEqual(moved["company"]["id"], made["company"]["id"])

    def test_create_rules(self):
        for body, why in [({"given_name": "Nobody"}, "no e-mail, phone or address"),
                          ({"email_addresses": []}, "empty lists count as none"),
                          ({"addresses": [{"field": "BILLING", "region_code": "US-OR"}]},
                           "a region needs a country_code"),
                          ({"addresses": [{"field": "BILLING", "country_code": "USA",
                                           "region_code": "CA-QC"}]}, "region of another country"),
                          ({"email_addresses": [{"email": "a@x.example", "field": "EMAIL9"}]},
                           "unknown slot"),
                          ({"given_name": "N" * 41, "email_addresses": [{"email": "n@x.example"}]},
                           "given_name over 40"),
                          ({"email_addresses": [{"email": "a@x.example"}],
                            "company": {"id": "9999"}}, "unknown company")]:
            with self.subTest(why=why):
                status, answer = self.create(body)
                self.assertEqual((status, answer["status"]), (400, "INVALID_ARGUMENT"))

    def test_duplicate_option_updates_the_match_with_200(self):
        body = {"given_name": "Alice", "family_name": "Morgan", "job_title": "Director",
                "email_addresses": [{"email": "ALICE.MORGAN@brightwater.example",
                                     "field": "EMAIL1"}]}
        status, answer = self.create(body, "?duplicate_option=EmailAndName")
        self.assertEqual((status, answer["id"]), (200, "1"))
        self.assertEqual(self.rpc.ContactService.load(self.key, 1, ["JobTitle"]),
                         {"JobTitle": "Director"})
        self.assertEqual(self.create(body, "?duplicate_option=Nope")[0], 400)
        status, answer = self.create(dict(body, given_name="Alicia"),
                                     "?duplicate_option=EmailAndName")
        self.assertEqual(status, 201)
        self.assertNotEqual(answer["id"], "1")

    def test_patch_replaces_named_fields_only(self):
        path = "/contacts/3?update_mask=email_addresses&update_mask=job_title"
        status, answer, _ = self.sb.rest("PATCH", path, {
            "email_addresses": [{"email": "chloe@new.example", "field": "EMAIL2"}],
            "job_title": "Partner", "given_name": "Ignored"})
        self.assertEqual(status, 200, answer)
        self.assertEqual(self.rpc.ContactService.load(
            self.key, 3, ["FirstName", "JobTitle", "Email", "EmailAddress2", "EmailAddress3"]),
            {"FirstName": "Chloe", "JobTitle": "Partner", "EmailAddress2": "chloe@new.example"})
        status, _, _ = self.sb.rest("PATCH", "/contacts/3?update_mask=given_name,middle_name",
                                    {"given_name": "Chlo"})
        self.assertEqual(status, 200)
        self.assertEqual(self.rpc.ContactService.load(self.key, 3, ["FirstName", "MiddleName"]),
                         {"FirstName": "Chlo"})
        self.assertEqual(self.sb.rest("PATCH", "/contacts/3?update_mask=id", {})[0], 400)
        self.assertEqual(self.sb.rest("PATCH", "/contacts/4040", {"given_name": "X"})[0], 404)
        self.assertEqual(self.sb.rest("PATCH", "/contacts/3", [1])[0], 400)

    def test_delete(self):
        new_id = self.rpc.ContactService.add(self.key, {"FirstName": "Brief"})
        self.assertEqual(self.sb.rest("DELETE", f"/contacts/{new_id}")[:2], (204, b""))
        self.assertEqual(self.sb.rest("DELETE", f"/contacts/{new_id}")[0], 404)


class Opportunities(SandboxCase):
    def test_create_needs_contact_title_and_stage(self):
        status, answer, _ = self.sb.rest("POST", "/opportunities", {"opportunity_notes": "x"})
        self.assertEqual(status, 400)
        for name in ("contact_id", "opportunity_title", "stage_id"):
            self.assertIn(name, answer["message"])
        self.assertEqual(self.sb.rest("POST", "/opportunities", {
            "contact_id": "4040", "opportunity_title": "T", "stage_id": "1"})[0], 400)

    def test_create_update_delete_seen_over_xmlrpc(self):
        status, made, _ = self.sb.rest("POST", "/opportunities", {
            "contact_id": 51, "opportunity_title": "Surgery fit-out", "stage_id": "2",
            "projected_revenue_high": 4200.5})
        self.assertEqual(status, 201, made)
        self.assertEqual((made["contact"]["id"], made["stage"]["name"]), ("51", "Qualified"))
        lead = int(made["id"])
        self.assertEqual(self.rpc.DataService.load(self.key, "Lead", lead, [
            "ContactID", "StageID", "OpportunityTitle", "ProjectedRevenueHigh", "UserID"]),
            {"ContactID": 51, "StageID": 2, "OpportunityTitle": "Surgery fit-out",
             "ProjectedRevenueHigh": 4200.5, "UserID": 1})
        status, changed, _ = self.sb.rest(
            "PATCH", f"/opportunities/{lead}?update_mask=opportunity_notes,projected_revenue_low",
            {"opportunity_notes": "Two chairs", "projected_revenue_low": "3900",
             "opportunity_title": "not in the mask"})
        self.assertEqual((status, changed["opportunity_notes"], changed["projected_revenue_low"],
                          changed["opportunity_title"]),
                         (200, "Two chairs", 3900.0, "Surgery fit-out"))
        self.assertEqual(self.sb.rest("PATCH", f"/opportunities/{lead}?update_mask=stage_id",
                                      {})[0], 400)
        self.assertEqual(self.sb.rest("DELETE", f"/opportunities/{lead}")[0], 204)
        self.assertEqual(self.rpc.DataService.query(self.key, "Lead", 5, 0, {"Id": lead}, ["Id"]),
                         [])


class Notes(SandboxCase):
    def test_rules_and_round_trip(self):
        for body in ({"title": "No user"}, {"user_id": "1", "text": "no title or type"},
                     {"user_id": "77", "title": "unknown user"}):
            with self.subTest(body=body):
                self.assertEqual(self.sb.rest("POST", "/contacts/2/notes", body)[0], 400)
        self.assertEqual(self.sb.rest("POST", "/contacts/4040/notes",
                                      {"user_id": "1", "title": "x"})[0], 404)
        status, note, _ = self.sb.rest("POST", "/contacts/2/notes", {
            "user_id": "1", "title": "Roof survey <2002>", "text": "Quote 2002."})
        self.assertEqual((status, note["contact_id"]), (201, "2"))
        found = self.rpc.DataService.query(self.key, "ContactAction", 10, 0,
                                           {"ContactId": 2, "ActionDescription": "%<2002>%"},
                                           ["Id", "CreationNotes", "UserID"])
        self.assertEqual(found, [{"Id": int(note["id"]), "CreationNotes": "Quote 2002.",
                                  "UserID": 1}])
        self.assertEqual(self.sb.rest("DELETE", f"/contacts/1/notes/{note['id']}")[0], 404)
        self.assertEqual(self.sb.rest("DELETE", f"/contacts/2/notes/{note['id']}")[0], 204)


class Files(SandboxCase):
    def upload(self, name="every.bin", data=EVERY_BYTE, contact="7", query=""):
        return self.sb.rest("POST", f"/files{query}", form=[
            ("file", name, data), ("file_name", name), ("file_association", "CONTACT"),
            ("contact_id", contact), ("is_public", "false")])

    def test_bytes_survive_upload_replace_and_both_interfaces(self):
        status, meta, _ = self.upload()
        self.assertEqual(status, 201, meta)
        self.assertEqual((meta["file_size"], meta["contact_id"], meta["is_public"]),
                         (len(EVERY_BYTE), "7", False))
        file_id = int(meta["id"])
        status, data, headers = self.sb.rest("GET", f"/files/{file_id}:data")
        self.assertEqual((status, data, headers["Content-Type"]),
                         (200, EVERY_BYTE, "application/octet-stream"))
        self.assertEqual(base64.b64decode(self.rpc.FileService.getFile(self.key, file_id)),
                         EVERY_BYTE)

        status, meta, _ = self.sb.rest("POST", f"/files/{file_id}?update_mask=file",
                                       form=[("file", "x", b"\x00v2\r\n")])
        self.assertEqual((status, meta["file_size"], meta["file_name"]), (200, 5, "every.bin"))
        self.rpc.FileService.renameFile(self.key, file_id, "renamed.dtf")
        self.sb.set_rest(file_data="base64")
        try:
            _, text, _ = self.sb.rest("GET", f"/files/{file_id}:data")
        finally:
            self.sb.set_rest(file_data="raw")
        self.assertEqual(base64.b64decode(text), b"\x00v2\r\n")
        _, listed, _ = self.sb.rest("GET", "/files?filter=contact_id%3D%3D7")
        self.assertEqual([f["file_name"] for f in listed["files"]], ["renamed.dtf"])

    def test_a_streamed_upload_arrives_chunked(self):
        body, content_type = multipart([("file", "s.bin", EVERY_BYTE * 50), ("file_name", "s.bin"),
                                        ("file_association", "CONTACT"), ("contact_id", "6")])
        conn = self.sb.connection()
        conn.request("POST", "/crm/rest/v2/files", body=iter([body[:1000], body[1000:]]),
                     headers={"X-Keap-API-Key": self.key, "Content-Type": content_type},
                     encode_chunked=True)
        answer = conn.getresponse()
        meta = json.loads(answer.read())
        conn.close()
        self.assertEqual((answer.status, meta["file_size"]), (201, len(EVERY_BYTE) * 50))
        self.assertEqual(self.sb.rest("GET", f"/files/{meta['id']}:data")[1], EVERY_BYTE * 50)

    def test_create_refusals(self):
        self.assertEqual(self.upload(query="?contact_id=7")[0], 400)
        self.assertEqual(self.upload(contact="4040")[0], 400)
        self.assertEqual(self.sb.rest("POST", "/files", {"file_name": "a.txt"})[0], 415)
        status, answer, _ = self.sb.rest("POST", "/files", form=[("file_name", "a.txt")])
        self.assertEqual(status, 400)
        self.assertIn("file_association", answer["message"])
        self.assertEqual(self.sb.rest("POST", "/files/1?update_mask=file",
                                      form=[("file_name", "x")])[0], 400)

    def test_log_names_parts_and_sizes_never_bytes(self):
        self.sb.clear_log()
        self.upload(name="log.bin", data=b"secret-bytes" * 10)
        entry = self.sb.calls()[-1]
        self.assertEqual((entry["interface"], entry["method"], entry["http_method"],
                          entry["status"], entry["key_form"]),
                         ("rest", "POST /files", "POST", 201, "x-keap-api-key"))
        self.assertIn({"name": "file", "filename": "log.bin", "size": 120},
                      entry["body"]["parts"])
        self.assertIn({"name": "contact_id", "value": "7"}, entry["body"]["parts"])
        self.assertNotIn("secret-bytes", str(entry))


class SequencesAndTags(SandboxCase):
    def test_sequence_results_per_contact_and_membership_kept(self):
        path = "/campaigns/1/sequences/2:addContacts"
        status, answer, _ = self.sb.rest("POST", path, {"contact_ids": ["8", "4040", "x"]})
        self.assertEqual((status, answer["add_to_sequence_results"]),
                         (200, {"8": "SUCCESS", "4040": "CONTACT_DOES_NOT_EXIST",
                                "x": "CONTACT_DOES_NOT_EXIST"}))
        _, again, _ = self.sb.rest("POST", path, {"contact_ids": [8]})
        self.assertEqual(again["add_to_sequence_results"], {"8": "ALREADY_IN_SEQUENCE"})
        _, draft, _ = self.sb.rest("POST", "/campaigns/4/sequences/6:addContacts",
                                   {"contact_ids": ["8"]})
        self.assertEqual(draft["add_to_sequence_results"], {"8": "FAILED"})
        self.assertEqual(self.sb.rest("POST", "/campaigns/2/sequences/1:addContacts",
                                      {"contact_ids": ["8"]})[0], 404)
        self.assertEqual(self.sb.rest("POST", path, {"contact_ids": []})[0], 400)

    def test_tags_are_the_contact_groups(self):
        status, answer, _ = self.sb.rest("POST", "/tags/2/contacts:applyTags",
                                         {"contact_ids": ["9", "4040"]})
        self.assertEqual((status, answer["results"]),
                         (200, {"9": "SUCCESS", "4040": "CONTACT_NOT_FOUND"}))
        self.assertEqual(self.rpc.ContactService.load(self.key, 9, ["Groups"]), {"Groups": "2"})
        self.assertEqual(self.sb.rest("POST", "/tags/2/contacts:removeTags",
                                      {"contact_ids": ["9"]})[0], 204)
        self.assertEqual(self.rpc.ContactService.load(self.key, 9, ["Groups"]), {})
        self.assertEqual(self.sb.rest("POST", "/tags/99/contacts:applyTags",
                                      {"contact_ids": ["9"]})[0], 404)


if __name__ == "__main__":
    unittest.main()
