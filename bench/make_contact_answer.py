#!/usr/bin/env python3
"""Writes a DataService.query answer of N contact records, as CPython's xmlrpc
module writes it (the same bytes are then decoded by both codecs).

    python3 make_contact_answer.py OUT.xml [N]
"""
import datetime
import random
import sys
import xmlrpc.client

FIRST = ["Ann", "Björn", "Chloé", "Dmitri", "Eve", "Farid", "Grace", "Hiro", "Iñigo", "Jo"]
LAST = ["Archer", "Bäcker", "Cole", "Dunn & Sons", "Evans", "Fischer", "Gómez", "Hale"]
CITIES = ["Springfield", "Zürich", "Århus", "Portland", "São Paulo", "Leeds"]


def contact(i, rng):
    first, last = rng.choice(FIRST), rng.choice(LAST)
    created = datetime.datetime(2009, 7, 3, 14, 5, 9) + datetime.timedelta(minutes=37 * i)
    return {
        "Id": i,
        "FirstName": first,
        "LastName": last,
        "Email": f"{first.lower()}.{i}@example.com",
        "Company": f"{last} <Trading> Ltd",
        "JobTitle": "Purchasing manager",
        "Phone1": f"+1 555 {i:07d}",
        "Phone2": "",
        "StreetAddress1": f"{rng.randint(1, 999)} Main Street",
        "StreetAddress2": "Suite 4",
        "City": rng.choice(CITIES),
        "State": "CA",
        "PostalCode": f"{rng.randint(10000, 99999)}",
        "Country": "United States",
        "ContactType": "Customer",
        "Groups": ",".join(str(rng.randint(1, 90)) for _ in range(3)),
        "OwnerID": rng.randint(1, 20),
        "DateCreated": xmlrpc.client.DateTime(created),
        "LastUpdated": xmlrpc.client.DateTime(created + datetime.timedelta(days=3)),
    }


def main():
    out = sys.argv[1]
    n = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
    rng = random.Random(7)
    records = [contact(i + 1, rng) for i in range(n)]
    body = xmlrpc.client.dumps((records,), methodresponse=True, encoding="utf-8")
    with open(out, "wb") as f:
        f.write(body.encode("utf-8"))


if __name__ == "__main__":
    main()
