from sandbox_harness import SandboxCase


class Contacts(SandboxCase):
    def test_add_update_load(self):
        cs = self.rpc.ContactService
        new_id = cs.add(self.key, {"FirstName": "Nora", "LastName": "Quill",
                                   "Email": "nora@quill.example", "Phone1": "555-0199"})
        self.assertEqual(cs.update(self.key, new_id, {"Company": "Quill Paper"}), new_id)
        self.assertEqual(cs.load(self.key, new_id, ["Id", "FirstName", "Company", "Fax1"]),
                         {"Id": new_id, "FirstName": "Nora", "Company": "Quill Paper"})
        self.assertFault(6, "[RecordNotFound]", cs.load, self.key, 888888, ["Id"])
        self.assertFault(6, "[RecordNotFound]", cs.update, self.key, 888888, {"FirstName": "x"})
        self.assertFault(10, "[NoFieldFound]No field found: Contact.Phone", cs.add, self.key,
                         {"Phone": "1"})

    def test_find_by_email_searches_all_three_addresses(self):
        cs = self.rpc.ContactService
        for address, expected in (("chloe.nguyen@lumendental.example", [3]),
                                  ("CHLOE@personal.example", [3]),
                                  ("billing@lumendental.example", [3]),
                                  ("alice.morgan@brightwater.example", [1, 10]),
                                  ("office@abramscole.example", [43, 44]),
                                  ("nobody@nowhere.example", [])):
            with self.subTest(address=address):
                found = cs.findByEmail(self.key, address, ["Id", "Email"])
                self.assertEqual([r["Id"] for r in found], expected)
        # An e-mail search is an exact one: no wildcards.
        self.assertEqual(cs.findByEmail(self.key, "%@abramscole.example", ["Id"]), [])


class CampaignsGroupsActionSets(SandboxCase):
    def test_campaign_lifecycle(self):
        cs = self.rpc.ContactService
        self.assertEqual(cs.getNextCampaignStep(self.key, 5, 1), 0)
        self.assertIs(cs.pauseCampaign(self.key, 5, 1), False)
        self.assertIs(cs.addToCampaign(self.key, 5, 1), True)
        self.assertEqual(cs.getNextCampaignStep(self.key, 5, 1), 1)
        self.assertIs(cs.pauseCampaign(self.key, 5, 1), True)
        self.assertEqual(self.rpc.DataService.query(self.key, "CampaignContact", 10, 0,
                                                    {"ContactId": 5}, ["Paused"]),
                         [{"Paused": 1}])
        self.assertIs(cs.resumeCampaignForContact(self.key, 5, 1), True)
        self.assertEqual(cs.rescheduleCampaignStep(self.key, [5, "6"], 3), 1)
        self.assertEqual(cs.getNextCampaignStep(self.key, 5, 1), 3)
        self.assertIs(cs.removeFromCampaign(self.key, 5, 1), True)
        self.assertIs(cs.removeFromCampaign(self.key, 5, 1), False)
        self.assertFault(6, "[RecordNotFound]", cs.addToCampaign, self.key, 5, 99)
        self.assertFault(6, "[RecordNotFound]", cs.addToCampaign, self.key, 99999, 1)
        self.assertFault(6, "[RecordNotFound]", cs.rescheduleCampaignStep, self.key, [5], 999)

    def test_groups(self):
        cs = self.rpc.ContactService
        self.assertIs(cs.addToGroup(self.key, 7, 2), True)
        self.assertIs(cs.addToGroup(self.key, 7, 3), True)
        self.assertEqual(cs.load(self.key, 7, ["Groups"]), {"Groups": "2,3"})
        self.assertIs(cs.removeFromGroup(self.key, 7, 2), True)
        self.assertIs(cs.removeFromGroup(self.key, 7, 2), False)
        self.assertEqual(cs.load(self.key, 7, ["Groups"]), {"Groups": "3"})
        self.assertFault(6, "[RecordNotFound]", cs.addToGroup, self.key, 7, 42)

    def test_run_action_sequence_returns_action_reports(self):
        cs = self.rpc.ContactService
        report = cs.runActionSequence(self.key, 2, 1)
        self.assertEqual(len(report), 2)
        for item in report:
            self.assertEqual(set(item), {"Action", "Message", "IsError"})
            self.assertIsInstance(item["IsError"], bool)
        failing = cs.runActionSequence(self.key, 2, 6)
        self.assertEqual([i["IsError"] for i in failing], [True])
        self.assertFault(6, "[RecordNotFound]", cs.runActionSequence, self.key, 2, 77)
        self.assertFault(6, "[RecordNotFound]", cs.runActionSequence, self.key, 77777, 1)

    def test_ids_sent_as_text_are_accepted(self):
        self.assertEqual(self.rpc.ContactService.load(self.key, "2", ["LastName"]),
                         {"LastName": "Carter"})
