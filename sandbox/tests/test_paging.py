import time
import unittest

from sandbox_harness import Sandbox


class Paging(unittest.TestCase):
    """Collecting records 1000 at a time, as the program does for stages and action sets."""

    @classmethod
    def setUpClass(cls):
        cls.sb = Sandbox("--memory", "--seed", "empty", "--stages", "2500",
                         "--action-sets", "1000", "--contacts", "999")
        cls.addClassCleanup(cls.sb.stop)

    def setUp(self):
        self.rpc = self.sb.proxy()

    def tearDown(self):
        self.sb.close_proxies()

    def page_sizes(self, table, name_field):
        sizes, ids = [], []
        page = 0
        while True:
            rows = self.rpc.DataService.query(self.sb.api_key, table, 1000, page, {"Id": "%"},
                                              ["Id", name_field])
            sizes.append(len(rows))
            ids.extend(r["Id"] for r in rows)
            page += 1
            if len(rows) < 1000:
                return sizes, ids

    def test_2500_stages_take_three_pages(self):
        started = time.monotonic()
        sizes, ids = self.page_sizes("Stage", "StageName")
        self.assertEqual(sizes, [1000, 1000, 500])
        self.assertEqual(ids, list(range(1, 2501)))
        self.assertLess(time.monotonic() - started, 20)

    def test_exactly_1000_action_sets_end_with_an_empty_page(self):
        sizes, ids = self.page_sizes("ActionSequence", "TemplateName")
        self.assertEqual(sizes, [1000, 0])
        self.assertEqual(len(set(ids)), 1000)

    def test_999_contacts_fit_one_page(self):
        sizes, _ = self.page_sizes("Contact", "LastName")
        self.assertEqual(sizes, [999])

    def test_empty_seed_has_no_demo_records(self):
        for table in ("Lead", "User", "FileBox"):
            with self.subTest(table=table):
                self.assertEqual(self.rpc.DataService.query(self.sb.api_key, table, 10, 0,
                                                            {"Id": "%"}, ["Id"]), [])

    def test_pages_do_not_overlap_with_other_limits(self):
        seen = []
        for page in range(4):
            rows = self.rpc.DataService.query(self.sb.api_key, "Stage", 7, page,
                                              {"StageName": "Stage 0000%"}, ["Id"])
            seen.extend(r["Id"] for r in rows)
        self.assertEqual(seen, list(range(1, 10)))


if __name__ == "__main__":
    unittest.main()
