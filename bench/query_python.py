#!/usr/bin/env python3
"""The contact search's query (all contacts, six fields) as a Python client would
send it: xmlrpc.client on XML-RPC, http.client and json on REST v2, on one
connection, repeated. With --bytes, prints the request and answer body sizes.

    python3 query_python.py xmlrpc|rest PORT CA KEY LIMIT REPEAT [--bytes]
"""
import http.client
import json
import ssl
import sys
import urllib.parse
import xmlrpc.client

FIELDS = ["Id", "Company", "FirstName", "LastName", "Email", "Phone1"]
REST_FIELDS = "id,company,given_name,family_name,email_addresses,phone_numbers"


def main():
    mode, port, ca, key = sys.argv[1:5]
    limit, repeat = int(sys.argv[5]), int(sys.argv[6])
    context = ssl.create_default_context(cafile=ca)
    sizes = {}
    if mode == "xmlrpc":
        proxy = xmlrpc.client.ServerProxy(f"https://localhost:{port}/api/xmlrpc", context=context)
        for _ in range(repeat):
            found = proxy.DataService.query(key, "Contact", limit, 0, {"Id": "%"}, FIELDS)
            assert len(found) == limit
        request = xmlrpc.client.dumps((key, "Contact", limit, 0, {"Id": "%"}, FIELDS),
                                      "DataService.query").encode()
        answer = xmlrpc.client.dumps((found,), methodresponse=True).encode()
        sizes = {"request": len(request), "answer": len(answer)}
    else:
        connection = http.client.HTTPSConnection("localhost", int(port), context=context)
        path = "/crm/rest/v2/contacts?" + urllib.parse.urlencode(
            {"order_by": "id", "fields": REST_FIELDS, "page_size": limit})
        for _ in range(repeat):
            connection.request("GET", path, headers={"X-Keap-API-Key": key,
                                                     "Accept": "application/json"})
            body = connection.getresponse().read()
            assert len(json.loads(body)["contacts"]) == limit
        sizes = {"request": len(path), "answer": len(body)}
    if "--bytes" in sys.argv:
        print(json.dumps(sizes))


if __name__ == "__main__":
    main()
