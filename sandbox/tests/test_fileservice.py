import base64

from sandbox_harness import SandboxCase


def b64_lines(data):
    """Base64 with a CR LF after every 64 characters, as the client library writes it."""
    text = base64.b64encode(data).decode()
    return "".join(text[i:i + 64] + "\r\n" for i in range(0, len(text), 64))


class Files(SandboxCase):
    def test_upload_for_a_contact_then_find_replace_rename_fetch(self):
        fs, ds = self.rpc.FileService, self.rpc.DataService
        content = bytes(range(256)) * 3
        file_id = fs.uploadFile(self.key, 4, "2001.dtf", b64_lines(content))
        self.assertIsInstance(file_id, int)
        found = ds.query(self.key, "FileBox", 1, 0, {"FileName": "2001.dtf", "ContactId": 4},
                         ["Id", "FileSize", "Extension"])
        self.assertEqual(found, [{"Id": file_id, "FileSize": 768, "Extension": "dtf"}])
        self.assertEqual(base64.b64decode(fs.getFile(self.key, file_id)), content)

        self.assertIs(fs.replaceFile(self.key, file_id, b64_lines(b"second")), True)
        self.assertEqual(base64.b64decode(fs.getFile(self.key, file_id)), b"second")
        self.assertIs(fs.renameFile(self.key, file_id, "2001.pdf"), True)
        self.assertEqual(ds.load(self.key, "FileBox", file_id, ["FileName", "Extension",
                                                                "FileSize"]),
                         {"FileName": "2001.pdf", "Extension": "pdf", "FileSize": 6})

        url = fs.getDownloadUrl(self.key, file_id)
        self.assertTrue(url.startswith(f"https://demo.localhost:{self.sb.port}/"), url)
        status, body = self.sb.get(url.split(str(self.sb.port), 1)[1])
        self.assertEqual((status, body), (200, "second"))

    def test_upload_without_a_contact_and_empty_files(self):
        fs, ds = self.rpc.FileService, self.rpc.DataService
        file_id = fs.uploadFile(self.key, "loose.txt", "")
        self.assertEqual(ds.load(self.key, "FileBox", file_id, ["FileSize", "ContactId"]),
                         {"FileSize": 0, "ContactId": 0})
        self.assertEqual(fs.getFile(self.key, file_id), "")

    def test_faults(self):
        fs = self.rpc.FileService
        self.assertFault(6, "[RecordNotFound]", fs.getFile, self.key, 4242)
        self.assertFault(6, "[RecordNotFound]", fs.replaceFile, self.key, 4242, "AAAA")
        self.assertFault(6, "[RecordNotFound]", fs.renameFile, self.key, 4242, "x.txt")
        self.assertFault(6, "[RecordNotFound]", fs.getDownloadUrl, self.key, 4242)
        self.assertFault(6, "[RecordNotFound]", fs.uploadFile, self.key, 99999, "a.txt", "AAAA")
        self.assertFault(3, "[InvalidParameter]", fs.uploadFile, self.key, 1, "a.txt", "!!not64")
        self.assertFault(0, "No method matching", fs.uploadFile, self.key, 1, "a.txt")

    def test_seeded_quote_file(self):
        self.assertEqual(base64.b64decode(self.rpc.FileService.getFile(self.key, 1)),
                         b"quote 1001\n")
