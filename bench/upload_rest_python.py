#!/usr/bin/env python3
"""Stores a file in place of an existing file over REST v2 as a Python client would
write it with http.client: the file read whole into a multipart/form-data body.

    python3 upload_rest_python.py PORT CA KEY FILE_ID FILE
"""
import http.client
import ssl
import sys
import uuid


def main():
    port, ca, key, file_id, path = sys.argv[1:6]
    with open(path, "rb") as f:
        data = f.read()
    boundary = uuid.uuid4().hex
    body = (f"--{boundary}\r\nContent-Disposition: form-data; name=\"file\"; "
            f"filename=\"{path.rsplit('/', 1)[-1]}\"\r\n"
            "Content-Type: application/octet-stream\r\n\r\n").encode() + data + \
        f"\r\n--{boundary}--\r\n".encode()
    connection = http.client.HTTPSConnection(
        "localhost", int(port), context=ssl.create_default_context(cafile=ca))
    connection.request("POST", f"/crm/rest/v2/files/{file_id}?update_mask=file", body=body,
                       headers={"X-Keap-API-Key": key,
                                "Content-Type": f"multipart/form-data; boundary={boundary}"})
    if connection.getresponse().status != 200:
        sys.exit(1)


if __name__ == "__main__":
    main()
