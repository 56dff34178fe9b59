#!/usr/bin/env python3
"""Stores a file under an existing file-box Id with Python's xmlrpc.client, the way
a Python client would write it: the file read whole and sent as a base64 value.

    python3 upload_python.py URL CA KEY FILE_ID FILE
"""
import ssl
import sys
import xmlrpc.client


def main():
    url, ca, key, file_id, path = sys.argv[1:6]
    proxy = xmlrpc.client.ServerProxy(url, context=ssl.create_default_context(cafile=ca))
    with open(path, "rb") as f:
        data = f.read()
    if proxy.FileService.replaceFile(key, int(file_id), xmlrpc.client.Binary(data)) is not True:
        sys.exit(1)


if __name__ == "__main__":
    main()
